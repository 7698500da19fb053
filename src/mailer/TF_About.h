#pragma once

#include "platform/MemoryStatus.h"

#include <QDialog>
#include <functional>

class QLabel;

// The About box: program, version, maker and the free memory, measured each
// time the box is shown.
class TF_About : public QDialog
{
    Q_OBJECT
public:
    using MemorySource = std::function<MemoryStatus()>;

    explicit TF_About(QWidget *parent = nullptr, MemorySource memory = &MemoryStatus::current);

    QLabel *ramLine() const { return m_ram; }
    QLabel *swapLine() const { return m_swap; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    MemorySource m_memory;
    QLabel *m_ram;
    QLabel *m_swap;
};
