#pragma once

#include <QObject>

// Turns Enter into a move to the next control for every control of a dialog,
// so Enter never closes it. Install with EnterAsTab::install(dialog).
class EnterAsTab : public QObject
{
    Q_OBJECT
public:
    static void install(QWidget *dialog);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit EnterAsTab(QWidget *dialog);
    QWidget *m_dialog;
};
