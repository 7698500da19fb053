#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

// Acts on the next modal dialog of class Dialog as soon as it is shown: the
// test fills it and closes it (accept, reject or a button click). A dialog
// that act leaves open is rejected, so a test can never hang on it.
template <typename Dialog, typename Act>
void whenDialogOpens(Act act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "expected dialog " << Dialog::staticMetaObject.className() << " did not open";
            return;
        }
        act(dialog);
        if (dialog->isVisible() && QApplication::activeModalWidget() == dialog)
            dialog->reject();
    });
}
