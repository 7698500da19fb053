#include "platform/WaitView.h"

#include "platform/Wait.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QPainter>

namespace {

// The countdown as assistive technology reads it: a progress indicator named
// "Wait" whose value is the count the control shows.
class WaitAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit WaitAccessible(TWaitView *view) : QAccessibleWidget(view, QAccessible::ProgressBar) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? view()->shownCount() : QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return TWait::parseCount(view()->shownCount()); }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return view()->initialCount(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const TWaitView *view() const { return static_cast<const TWaitView *>(widget()); }
};

QAccessibleInterface *waitAccessible(const QString &className, QObject *object)
{
    auto *view = qobject_cast<TWaitView *>(object);
    return view && className == QLatin1String("TWaitView") ? new WaitAccessible(view) : nullptr;
}

}

TWaitView::TWaitView(TWait *wait, QWidget *parent) : QWidget(parent), m_wait(wait)
{
    resize(sizeHint());
    QFont font(QStringLiteral("Courier"), 8);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    static const bool accessibleInstalled = (QAccessible::installFactory(waitAccessible), true);
    Q_UNUSED(accessibleInstalled);
    setAccessibleName(QStringLiteral("Wait"));
    setAccessibleDescription(QStringLiteral("Seconds left to wait"));
    TWait::setBeeper([] { QApplication::beep(); });
    connect(wait, &TWait::repaintNeeded, this, &TWaitView::countChanged);
    connect(wait, &TWait::visibleChanged, this, &QWidget::setVisible);
    setVisible(wait->Visible());
}

QString TWaitView::shownCount() const
{
    return m_wait ? m_wait->Caption : QString();
}

int TWaitView::initialCount() const
{
    return m_wait ? m_wait->InitialCount() : 0;
}

void TWaitView::countChanged()
{
    update();
    QAccessibleValueChangeEvent event(this, TWait::parseCount(shownCount()));
    QAccessible::updateAccessibility(&event);
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
    const QRect bar(QPoint(3, 3), QPoint(barLength() + 3, height() - 4));
    painter.fillRect(bar, palette().color(QPalette::Highlight));
    // The field is white whatever the theme, so the digits on it are dark
    // whatever the theme; where they stand on the bar they take the colour
    // the theme gives text on its highlight.
    const QPoint at(4, height() / 2 - 8 + painter.fontMetrics().ascent());
    painter.setPen(QColor(Qt::black));
    painter.drawText(at, m_wait->Caption);
    painter.setClipRect(bar);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(at, m_wait->Caption);
}
