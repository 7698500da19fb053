// The group send over a slow road: a proxy on loopback holds every byte
// for half a round trip each way (no bandwidth limit) in front of Postfix's
// smtp-sink. Through the real main window (real store, one connection,
// 1 KB messages) beside Python's smtplib through the same proxy in the same
// run, at each round trip given, against a sink that offers PIPELINING and
// one that does not. Prints messages per second and the ratios.
//
// Run offscreen (the default) or under xvfb-run with QT_QPA_PLATFORM=xcb.
// Arguments, all optional: the members of the group (2000) and the round
// trips in ms (50 25 0; 0 is plain loopback without the proxy).
#include "BenchStore.h"
#include "SmtplibBaseline.h"
#include "WindowSend.h"
#include "connection/NetworkManagerBackend.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "store/DM_Databaser.h"
#include "support/PostfixSink.h"

#include <QApplication>
#include <QJsonObject>
#include <QProcess>
#include <cstdio>

namespace {

// The latency proxy as a process of its own, so its timing does not share
// the mailer's event loop.
class LatencyProxy
{
public:
    LatencyProxy(quint16 target, int roundTripMs)
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(CORVANE_BENCH_DIR "/latency_proxy.py"), QString::number(target),
                         QString::number(roundTripMs / 2.0)});
        if (m_process.waitForReadyRead(10000))
            port = quint16(m_process.readLine().trimmed().toUInt());
    }
    ~LatencyProxy()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    quint16 port = 0;

private:
    QProcess m_process;
};

double smtplibRate(quint16 port, int count)
{
    const QJsonObject answer = runSmtplib(
        {QStringLiteral("small"), QString::number(port), QString::number(count), WindowSend::Body.join("\r\n") + "\r\n"});
    if (answer.contains(QStringLiteral("error"))) {
        std::fprintf(stderr, "smtplib failed: %s\n", qPrintable(answer.value(QStringLiteral("error")).toString()));
        return 0;
    }
    return count / answer.value(QStringLiteral("seconds")).toDouble();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int members = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    QList<int> roundTrips;
    for (int i = 2; i < argc; ++i)
        roundTrips.append(QByteArray(argv[i]).toInt());
    if (roundTrips.isEmpty())
        roundTrips = {50, 25, 0};

    WindowSend::ConsolePrompts prompts;
    PromptService::Scope promptScope(prompts);
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    const QString folder = workspace.folder();
    BenchStore::fillGroup(dm, "Latency", members);
    dm.ta_Group.Refresh();
    WindowSend::writeSettings(folder, 25);
    TMailerSession session(dm, folder, [] { return std::make_unique<NetworkManagerBackend>(); });
    TF_Mdi mdi(session);
    mdi.show();
    QCoreApplication::processEvents();

    std::printf("platform %s, %d members, a 1 KB message, one connection, smtp-sink behind a latency proxy\n",
                qPrintable(QGuiApplication::platformName()), members);
    for (const bool pipelining : {true, false}) {
        PostfixSink sink;
        sink.setKeepMessages(false);
        if (!sink.start(true, pipelining)) {
            std::fprintf(stderr, "%s\n", qPrintable(sink.error()));
            return 1;
        }
        for (const int roundTrip : roundTrips) {
            std::unique_ptr<LatencyProxy> proxy;
            quint16 port = sink.port();
            if (roundTrip > 0) {
                proxy = std::make_unique<LatencyProxy>(sink.port(), roundTrip);
                port = proxy->port;
                if (port == 0) {
                    std::fprintf(stderr, "the latency proxy did not start\n");
                    return 1;
                }
            }
            WindowSend::writeSettings(folder, port);
            session.LoadSettings();
            const double python = smtplibRate(port, members);
            const WindowSend::Run run = WindowSend::run(mdi, "Latency");
            const double window = members / run.seconds;
            std::printf("  %-16s %3d ms round trip: window %7.1f messages/s (%.0f us CPU each), smtplib %7.1f "
                        "messages/s, ratio %.2fx (ended with \"%s\")\n",
                        pipelining ? "PIPELINING" : "no PIPELINING", roundTrip, window, run.cpu * 1e6 / members,
                        python, window / python, qPrintable(run.outcome));
            std::fflush(stdout);
        }
    }
    return 0;
}
