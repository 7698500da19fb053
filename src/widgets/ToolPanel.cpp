#include "widgets/ToolPanel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>

TToolPanel::TToolPanel(const QString &objectName, QWidget *parent) : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    setObjectName(objectName);
    setAccessibleName(objectName);
    m_layout->setContentsMargins(2, 0, 2, 0);
    m_layout->setSpacing(1);
}

QToolButton *TToolPanel::addButton(const QString &objectName, const QString &hint, const QIcon &glyph)
{
    auto *button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setIcon(glyph);
    button->setIconSize(QSize(20, 20));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFocusPolicy(Qt::NoFocus);
    m_layout->addWidget(button);
    return button;
}

void TToolPanel::addSeparator()
{
    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Raised);
    separator->setFixedWidth(6);
    m_layout->addWidget(separator);
}
