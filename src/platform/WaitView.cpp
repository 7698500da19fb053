#include "platform/WaitView.h"

#include "platform/Wait.h"

#include <QApplication>
#include <QPainter>

TWaitView::TWaitView(TWait *wait, QWidget *parent) : QWidget(parent), m_wait(wait)
{
    resize(sizeHint());
    QFont font(QStringLiteral("Courier"), 8);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    setAccessibleName(QStringLiteral("Wait"));
    TWait::setBeeper([] { QApplication::beep(); });
    connect(wait, &TWait::repaintNeeded, this, qOverload<>(&QWidget::update));
    connect(wait, &TWait::visibleChanged, this, &QWidget::setVisible);
    setVisible(wait->Visible());
}

int TWaitView::barLength() const
{
    if (!m_wait || m_wait->InitialCount() <= 0)
        return 0;
    return TWait::parseCount(m_wait->Caption) * (width() - 7) / m_wait->InitialCount();
}

void TWaitView::paintEvent(QPaintEvent *)
{
    if (!m_wait)
        return;
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(0, 0), QPoint(width() - 1, height() - 1)), Qt::white);
    painter.fillRect(QRect(QPoint(3, 3), QPoint(barLength() + 3, height() - 4)),
                     palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QPoint(4, height() / 2 - 8 + painter.fontMetrics().ascent()), m_wait->Caption);
}
