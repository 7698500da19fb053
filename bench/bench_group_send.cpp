// Measures the group send the way a user runs it: the message composed in the
// message window of the real main window (shown, with its status bar and
// progress bar), "Start sending Email" clicked, timed until the results
// window opens. In the same run and against the same local sink: the bare
// SMTP client sending the same number of 1 KB messages over one session,
// Python's smtplib doing so over one connection, and the run without any
// window (a status that draws nothing). Then, through the window, a run over
// 100 000 members with the memory and the longest gap of the event loop
// watched, and a Cancel clicked during a run with the time until it answers.
//
// Run offscreen (the default) or under xvfb-run with QT_QPA_PLATFORM=xcb.
// Arguments, all optional: the members of the rate runs (10 000), the members
// of the long run (100 000; 0 leaves it out) and the rounds of the rate runs (3).
#include "BenchStore.h"
#include "SilentStatus.h"
#include "SmtplibBaseline.h"
#include "WindowSend.h"
#include "connection/NetworkManagerBackend.h"
#include "send/GroupSend.h"
#include "send/SendComponents.h"
#include "send/SendStatus.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"
#include "platform/ProfileIni.h"
#include "platform/Prompts.h"
#include "platform/Wait.h"
#include "store/DM_Databaser.h"
#include "support/ScriptedSmtpServer.h"
#include "transport/SmtpClient.h"
#include "widgets/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

struct Rate
{
    double perSecond = 0;
    double cpuMsPerMessage = 0;
};

Rate rateOf(int count, double seconds, double cpu)
{
    return {count / seconds, 1000.0 * cpu / count};
}

// The bare client: one session, count transactions of the same message.
Rate bareClient(quint16 port, int count)
{
    TWait wait;
    TSmtpClient client;
    client.setWait(&wait);
    client.Host = "127.0.0.1";
    client.Port = QString::number(port);
    client.FromName = "ann@example.org";
    client.HdrFrom = "Ann <ann@example.org>";
    client.HdrSubject = "Bench";
    const QByteArray line = WindowSend::Body.first().toLatin1();
    client.OnGetData = [&](TCustomSmtpClient *, qint32 lineNum, char *buffer, qint32, bool &more) {
        if (lineNum > WindowSend::Body.size()) {
            more = false;
            return;
        }
        std::memcpy(buffer, line.constData(), static_cast<size_t>(line.size()) + 1);
    };
    const double cpu = WindowSend::cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    client.Open();
    for (int i = 0; i < count; ++i) {
        client.RcptName = {QStringLiteral("member%1@example.org").arg(i)};
        client.HdrTo = QStringLiteral("Member %1 <member%1@example.org>").arg(i);
        client.Mail();
    }
    client.Quit();
    return rateOf(count, timer.nsecsElapsed() / 1e9, WindowSend::cpuSeconds() - cpu);
}

double smtplib(quint16 port, int count)
{
    QString body;
    for (const QString &line : WindowSend::Body)
        body += line + QStringLiteral("\r\n");
    const QJsonObject answer =
        runSmtplib({QStringLiteral("small"), QString::number(port), QString::number(count), body});
    if (answer.contains(QStringLiteral("error"))) {
        std::fprintf(stderr, "smtplib failed: %s\n", qPrintable(answer.value(QStringLiteral("error")).toString()));
        return 0;
    }
    return count / answer.value(QStringLiteral("seconds")).toDouble();
}

// The run without a window: the same store, run and client.
Rate silentRun(TDM_Databaser &dm, quint16 port, const QString &group, int count)
{
    TSendComponents components(std::make_unique<NetworkManagerBackend>());
    TMailerSettings settings;
    settings.FSmtpServer = "127.0.0.1";
    settings.FSmtpPort = QString::number(port);
    settings.FUserName = "Ann";
    settings.FUserEmail = "ann@example.org";
    SilentStatus status;
    TGroupSend run(dm, components, settings, status);
    const double cpu = WindowSend::cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    run.StartConnection({group, "Bench", {}, WindowSend::Body});
    return rateOf(count, timer.nsecsElapsed() / 1e9, WindowSend::cpuSeconds() - cpu);
}

// Watches the event loop while a run goes on: the longest gap between the
// ticks of a 5 ms timer, and the resident memory at each tick.
class LoopProbe
{
public:
    LoopProbe()
    {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            if (m_lastTick >= 0)
                longestGapMs = std::max(longestGapMs, now - m_lastTick);
            m_lastTick = now;
            peakKb = std::max(peakKb, BenchStore::residentKb());
        });
    }
    void start()
    {
        m_clock.start();
        m_timer.start();
        peakKb = BenchStore::residentKb();
    }
    void stop() { m_timer.stop(); }

    qint64 longestGapMs = 0;
    long peakKb = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = -1;
};

void click(QWidget *widget)
{
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto argument = [&](int index, int otherwise) { return argc > index ? QByteArray(argv[index]).toInt() : otherwise; };
    const int rateMembers = argument(1, 10000);
    const int memoryMembers = argument(2, 100000);
    const int rounds = std::max(1, argument(3, 3));
    WindowSend::ConsolePrompts prompts;
    PromptService::Scope promptScope(prompts);
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    const QString folder = workspace.folder();
    BenchStore::fillGroup(dm, "Rate", rateMembers);
    BenchStore::fillGroup(dm, "Memory", memoryMembers);
    dm.ta_Group.Refresh();

    ScriptedSmtpServer sink;
    sink.setCapture(false);
    WindowSend::writeSettings(folder, sink.port());
    TMailerSession session(dm, folder, [] { return std::make_unique<NetworkManagerBackend>(); });
    TF_Mdi mdi(session);
    mdi.show();
    QCoreApplication::processEvents();
    std::printf("platform %s, %d members, a 1 KB message, one connection to a local sink; median of %d rounds\n",
                qPrintable(QGuiApplication::platformName()), rateMembers, rounds);

    std::vector<double> bare, bareCpu, python, window, windowCpu, silent, silentCpu;
    WindowSend::Run last;
    for (int round = 0; round < rounds; ++round) {
        const Rate b = bareClient(sink.port(), rateMembers);
        bare.push_back(b.perSecond);
        bareCpu.push_back(b.cpuMsPerMessage);
        python.push_back(smtplib(sink.port(), rateMembers));
        last = WindowSend::run(mdi, "Rate");
        const Rate w = rateOf(rateMembers, last.seconds, last.cpu);
        window.push_back(w.perSecond);
        windowCpu.push_back(w.cpuMsPerMessage);
        const Rate s = silentRun(dm, sink.port(), "Rate", rateMembers);
        silent.push_back(s.perSecond);
        silentCpu.push_back(s.cpuMsPerMessage);
    }
    const double bareRate = BenchStore::median(bare);
    const double pythonRate = BenchStore::median(python);
    const double windowRate = BenchStore::median(window);
    std::printf("  bare SMTP client          %6.0f messages/s  %.3f ms CPU each\n", bareRate,
                BenchStore::median(bareCpu));
    std::printf("  smtplib, one connection   %6.0f messages/s\n", pythonRate);
    std::printf("  group send in the window  %6.0f messages/s  %.3f ms CPU each  = %.0f%% of the bare client, "
                "%.0f%% of smtplib (ended with \"%s\", progress %d)\n",
                windowRate, BenchStore::median(windowCpu), 100 * windowRate / bareRate, 100 * windowRate / pythonRate,
                qPrintable(last.outcome), last.progressAtEnd);
    std::printf("  group send, no window     %6.0f messages/s  %.3f ms CPU each\n", BenchStore::median(silent),
                BenchStore::median(silentCpu));
    std::fflush(stdout);

    if (memoryMembers > 0) {
        LoopProbe probe;
        probe.start();
        const long before = probe.peakKb;
        const WindowSend::Run large = WindowSend::run(mdi, "Memory");
        probe.stop();
        std::printf("%d members through the window: %.0f messages/s (%.1f s); resident memory %ld kB before, "
                    "at most %ld kB more during the run; longest event-loop gap %lld ms\n",
                    memoryMembers, memoryMembers / large.seconds, large.seconds, before, probe.peakKb - before,
                    probe.longestGapMs);
        std::fflush(stdout);
    }

    // Cancel a fifth of a second into a run: how long until the click is handled,
    // and until the run has ended.
    QElapsedTimer sinceClick;
    qint64 clickedAtMs = -1;
    qint64 answeredMs = -1;
    QToolButton *stop = mdi.findChild<QToolButton *>("bu_Stop");
    const QMetaObject::Connection heard =
        QObject::connect(stop, &QToolButton::clicked, [&] { answeredMs = sinceClick.elapsed(); });
    const WindowSend::Run cancelled = WindowSend::run(mdi, "Rate", [&](qint64 ms) {
        if (ms >= 200 && clickedAtMs < 0) {
            clickedAtMs = ms;
            sinceClick.start();
            click(stop);
        }
    });
    QObject::disconnect(heard);
    std::printf("Cancel clicked during a run: handled after %lld ms; run ended \"%s\" %.0f ms after the click\n",
                answeredMs, qPrintable(cancelled.outcome), cancelled.seconds * 1000 - double(clickedAtMs));
    return 0;
}
