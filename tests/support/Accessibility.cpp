#include "support/Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

// Headers and the corner button of a grid are parts of the grid, which
// carries the name.
bool partOfAnItemView(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractItemView *>(p))
            return true;
    }
    return false;
}

}

void expectAccessibleNames(QWidget *root)
{
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractItemView *>(w)
                             || qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w)
                             || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w)
                             || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractSlider *>(w);
        // Parts that Qt builds inside its own controls (a combo box's list,
        // a scroll area's bars) are named by the control that owns them.
        const bool ownedByQt = w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<QScrollBar *>(w)
                               || partOfAnItemView(w);
        if (control && !ownedByQt) {
            EXPECT_FALSE(spokenName(w).isEmpty())
                << w->metaObject()->className() << " '" << w->objectName().toStdString() << "' has no accessible name";
        }
    }
}

QString spokenName(QWidget *widget)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(widget);
    return i ? i->text(QAccessible::Name) : QString();
}

QString spokenDescription(QWidget *widget)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(widget);
    return i ? i->text(QAccessible::Description) : QString();
}

QAccessibleInterface *findSpoken(QAccessibleInterface *within, QAccessible::Role role, const QString &name)
{
    for (int i = 0; within && i < within->childCount(); ++i) {
        QAccessibleInterface *child = within->child(i);
        if (!child)
            continue;
        if (child->role() == role && child->text(QAccessible::Name) == name)
            return child;
        if (QAccessibleInterface *found = findSpoken(child, role, name))
            return found;
    }
    return nullptr;
}

QAccessibleInterface *findSpoken(QWidget *within, QAccessible::Role role, const QString &name)
{
    return findSpoken(QAccessible::queryAccessibleInterface(within), role, name);
}
