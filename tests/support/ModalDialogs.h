#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// Runs act on the next modal dialog of class Dialog once it is shown; act
// fills it and closes it. A dialog that act leaves open is rejected, so a
// test never hangs on it, and one that does not appear within the bound
// fails the test.
template <typename Dialog>
void whenModal(std::function<void(Dialog &)> act, int timeoutMs = 5000)
{
    auto *poll = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, act = std::move(act)] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            QPointer<Dialog> guard(dialog);
            act(*dialog);
            if (guard && guard->isVisible() && QApplication::activeModalWidget() == guard)
                guard->reject();
        } else if (deadline.hasExpired()) {
            poll->deleteLater();
            poll->stop();
            ADD_FAILURE() << "no " << Dialog::staticMetaObject.className() << " was shown";
        }
    });
    poll->start(5);
}
