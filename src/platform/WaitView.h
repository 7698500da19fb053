#pragma once

#include <QPointer>
#include <QWidget>

class TWait;

// The countdown painted on a form: a white field with a bar in the highlight
// colour that shrinks with the count, and the count as text, dark on the
// field and in the highlight's text colour on the bar.
class TWaitView : public QWidget
{
    Q_OBJECT
public:
    explicit TWaitView(TWait *wait, QWidget *parent = nullptr);

    QSize sizeHint() const override { return {192, 32}; }
    // Length of the bar for the current count.
    int barLength() const;
    // The count as the control shows it, and the count it started from;
    // assistive technology reads them as the control's value and maximum.
    QString shownCount() const;
    int initialCount() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void countChanged();

private:
    QPointer<TWait> m_wait;
};
