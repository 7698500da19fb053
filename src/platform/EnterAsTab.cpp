#include "platform/EnterAsTab.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

void focusNextControl(QWidget *from)
{
    for (QWidget *next = from->nextInFocusChain(); next != from; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisible() && next->isEnabled()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

}

EnterAsTab::EnterAsTab(QWidget *dialog) : QObject(dialog), m_dialog(dialog) {}

void EnterAsTab::install(QWidget *dialog)
{
    // An application-wide filter previews the keys of every control, as the
    // dialog's own key preview did; it acts only for controls of this dialog.
    qApp->installEventFilter(new EnterAsTab(dialog));
}

bool EnterAsTab::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || (widget != m_dialog && !m_dialog->isAncestorOf(widget)))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (event->type() == QEvent::KeyPress)
        focusNextControl(widget);
    event->accept();
    return true;
}
