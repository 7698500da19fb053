#include "WindowSend.h"

#include "mailer/TF_Mdi.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"
#include "platform/ProfileIni.h"
#include "widgets/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <sys/resource.h>

const QStringList WindowSend::Body(16, QStringLiteral("The quick brown fox jumps over the lazy dog, again and again..."));

double WindowSend::cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

WindowSend::Run WindowSend::run(TF_Mdi &mdi, const QString &group, const std::function<void(qint64)> &during,
                                const QString &subject, const QStringList &body)
{
    mdi.menuBar()->findChild<QAction *>("Groupsend1")->trigger();
    TF_NewMsg *message = mdi.F_NewMsg;
    QCoreApplication::processEvents();
    const int row = message->co_Group->findText(group);
    message->co_Group->setCurrentIndex(row);
    emit message->co_Group->activated(row);
    message->e_subject->setText(subject);
    message->mo_Message->setPlainText(body.join('\n'));
    QCoreApplication::processEvents();

    Run run;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *results = qobject_cast<TF_Result *>(QApplication::activeModalWidget())) {
            if (run.seconds == 0) {
                run.seconds = clock.nsecsElapsed() / 1e9;
                run.progressAtEnd = mdi.smtpstatus()->pb()->value();
                run.outcome = mdi.smtpstatus()->panelText(0);
            }
            results->accept();
        } else if (during) {
            during(clock.elapsed());
        }
    });
    poll.start(10);
    const double cpu = cpuSeconds();
    clock.start();
    mdi.findChild<QToolButton *>("bu_SendGrpMail")->click();
    run.cpu = cpuSeconds() - cpu;
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return run;
}

void WindowSend::writeSettings(const QString &folder, quint16 port)
{
    ProfileIni ini(folder + "CORVAN.INI");
    ini.writeString("SMTP", "SERVER", "127.0.0.1");
    ini.writeString("SMTP", "PORT", QString::number(port));
    ini.writeString("PERSONAL", "NAME", "Ann");
    ini.writeString("PERSONAL", "EMAIL", "ann@example.org");
}
