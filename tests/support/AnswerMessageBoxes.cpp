#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

// Loaded into one of our programs that a test starts as a separate process
// (LD_PRELOAD): every message box the program shows is written to standard
// error as "caption: text" and answered with its default button, as a user
// pressing Enter would. So a test drives an installed copy as it stands,
// through its real message boxes, without a way in that only tests know.
namespace {

class MessageBoxAnswerer : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
            std::fflush(stderr);
            // Pressed once the box runs its own event loop.
            QMetaObject::invokeMethod(
                box,
                [box] {
                    if (QPushButton *button = box->defaultButton())
                        button->click();
                    else
                        box->close();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

void answerMessageBoxes()
{
    QCoreApplication::instance()->installEventFilter(new MessageBoxAnswerer(QCoreApplication::instance()));
}

}

Q_COREAPP_STARTUP_FUNCTION(answerMessageBoxes)
