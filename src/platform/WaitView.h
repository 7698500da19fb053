#pragma once

#include <QPointer>
#include <QWidget>

class TWait;

// The countdown painted on a form: a white field with a bar in the highlight
// colour that shrinks with the count, and the count as text.
class TWaitView : public QWidget
{
    Q_OBJECT
public:
    explicit TWaitView(TWait *wait, QWidget *parent = nullptr);

    QSize sizeHint() const override { return {192, 32}; }
    // Length of the bar for the current count.
    int barLength() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<TWait> m_wait;
};
