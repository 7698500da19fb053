// Throughput, event-loop latency, memory and idle cost of the SMTP client,
// each beside Python's blocking smtplib against the same local sink.
#include "support/ScriptedSmtpServer.h"
#include "transport/LineBuffer.h"
#include "transport/SmtpClient.h"
#include "SmtplibBaseline.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

constexpr int SmallCount = 5000;
constexpr int BodyLines = 16;
constexpr int Recipients = 20;
const QByteArray BodyLine(62, 'x'); // 16 lines of 64 bytes: a 1 KB body

struct Client
{
    TWait wait;
    TSmtpClient smtp;
    qint64 shown = 0;
    QList<QByteArray> body;

    explicit Client(quint16 port)
    {
        smtp.setWait(&wait);
        smtp.Host = QStringLiteral("127.0.0.1");
        smtp.Port = QString::number(port);
        smtp.SignOn = QStringLiteral("bench");
        smtp.FromName = QStringLiteral("a@bench");
        smtp.RcptName = {QStringLiteral("b@bench")};
        smtp.OnDisplay = [this](TCustomSmtpClient *, const QString &) { ++shown; };
        smtp.OnGetData = [this](TCustomSmtpClient *, qint32 lineNum, char *line, qint32, bool &more) {
            if (lineNum > body.size()) {
                more = false;
                return;
            }
            const QByteArray &text = body.at(lineNum - 1);
            std::memcpy(line, text.constData(), static_cast<size_t>(text.size()) + 1);
        };
    }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QString makeFile(const QTemporaryDir &dir, qint64 bytes)
{
    const QString path = dir.filePath(QStringLiteral("attachment-%1.bin").arg(bytes));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray block(1 << 20, '\0');
    for (qint64 written = 0; written < bytes; written += block.size()) {
        for (char &byte : block)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        file.write(block.constData(), std::min<qint64>(block.size(), bytes - written));
    }
    return path;
}

// Watches the event loop while a send runs: a 5 ms timer notes the longest
// gap between its ticks, and each tick posts an event (as input would arrive)
// whose delivery delay is noted too. Also samples the resident memory.
struct LoopProbe
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 lastTick = -1;
    qint64 maxTickGapMs = 0;
    qint64 maxPostedDelayMs = 0;
    long maxResidentKb = 0;
    QObject context;

    LoopProbe()
    {
        timer.setInterval(5);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &context, [this] {
            const qint64 now = clock.elapsed();
            if (lastTick >= 0)
                maxTickGapMs = std::max(maxTickGapMs, now - lastTick);
            lastTick = now;
            maxResidentKb = std::max(maxResidentKb, residentKb());
            QMetaObject::invokeMethod(&context, [this, now] {
                maxPostedDelayMs = std::max(maxPostedDelayMs, clock.elapsed() - now);
            }, Qt::QueuedConnection);
        });
    }
    void start()
    {
        clock.start();
        timer.start();
    }
};

void benchSmallMessages()
{
    ScriptedSmtpServer sink;
    sink.setCapture(false);
    Client client(sink.port());
    for (int i = 0; i < BodyLines; ++i)
        client.body.append(BodyLine);
    if (!client.smtp.Open()) {
        std::printf("small: cannot open: %s\n", qPrintable(client.smtp.ErrorMessage()));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    for (int i = 0; i < SmallCount; ++i)
        sent += client.smtp.Mail() ? 1 : 0;
    const double seconds = clock.nsecsElapsed() / 1e9;
    client.smtp.Quit();

    QString body;
    for (int i = 0; i < BodyLines; ++i)
        body += QString::fromLatin1(BodyLine) + QStringLiteral("\r\n");
    const QJsonObject baseline = runSmtplib({QStringLiteral("small"), sink.portText(),
                                             QString::number(SmallCount), body});
    std::printf("small messages (%d x 1 KB, one session)\n", SmallCount);
    std::printf("  TSmtpClient: %d sent, %.0f messages/s (%.2f s)\n", sent, sent / seconds, seconds);
    if (baseline.contains(QStringLiteral("error")))
        std::printf("  smtplib:     failed: %s\n", qPrintable(baseline.value(QStringLiteral("error")).toString()));
    else
        std::printf("  smtplib:     %.0f messages/s (%.2f s)\n",
                    SmallCount / baseline.value(QStringLiteral("seconds")).toDouble(),
                    baseline.value(QStringLiteral("seconds")).toDouble());
}

// Seconds for SmallCount messages of `body` over one session to a sink that
// answers EHLO with `ehlo`; the best of a few rounds, so that a stray pause
// of the machine does not decide.
double secondsForMessages(const QList<QByteArray> &body, const QByteArray &ehlo)
{
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        ScriptedSmtpServer sink;
        sink.setCapture(false);
        sink.script("EHLO", ehlo);
        Client client(sink.port());
        client.body = body;
        if (!client.smtp.Open())
            return -1;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < SmallCount; ++i) {
            if (!client.smtp.Mail())
                return -1;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        client.smtp.Quit();
        best = round == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

// The same 1 KB body in plain ASCII and in UTF-8 text (letters with accents,
// dashes, quotes, CJK and emoji), sent as 8bit to a server that takes
// 8BITMIME and as quoted-printable to one that does not.
void benchTextPaths()
{
    QList<QByteArray> ascii;
    QList<QByteArray> utf8;
    const QByteArray typed = QString::fromUtf8("Grüße — “quoted” € 日本 😀 Łukasz Żółć ").toUtf8();
    for (int i = 0; i < BodyLines; ++i) {
        ascii.append(BodyLine);
        utf8.append((typed + typed).left(LineBuffer::fitLength(typed + typed, BodyLine.size())));
    }
    const QByteArray plain = "250 bench";
    const QByteArray eightBit = "250-bench\r\n250 8BITMIME";
    const double asciiSeconds = secondsForMessages(ascii, eightBit);
    const double eightBitSeconds = secondsForMessages(utf8, eightBit);
    const double quotedSeconds = secondsForMessages(utf8, plain);
    std::printf("text paths (%d x 1 KB, one session, best of 3 rounds)\n", SmallCount);
    std::printf("  ASCII, 7bit:              %.0f messages/s (%.2f s)\n", SmallCount / asciiSeconds, asciiSeconds);
    std::printf("  UTF-8, 8bit:              %.0f messages/s (%.2f s), %+.1f%% time against ASCII\n",
                SmallCount / eightBitSeconds, eightBitSeconds, (eightBitSeconds / asciiSeconds - 1) * 100);
    std::printf("  UTF-8, quoted-printable:  %.0f messages/s (%.2f s), %+.1f%% time against ASCII\n",
                SmallCount / quotedSeconds, quotedSeconds, (quotedSeconds / asciiSeconds - 1) * 100);
}

void benchLargeAttachment(const QTemporaryDir &dir, qint64 bytes, bool withBaseline)
{
    const QString path = makeFile(dir, bytes);
    ScriptedSmtpServer sink;
    sink.setCapture(false);
    Client client(sink.port());
    client.body = {"Large attachment follows."};
    for (int i = 0; i < Recipients; ++i)
        client.smtp.RcptName.append(QStringLiteral("r%1@bench").arg(i));
    client.smtp.setEmailFiles({path});
    if (!client.smtp.Open()) {
        std::printf("large: cannot open: %s\n", qPrintable(client.smtp.ErrorMessage()));
        return;
    }
    const long residentBefore = residentKb();
    LoopProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    const bool sent = client.smtp.Mail();
    const double seconds = clock.nsecsElapsed() / 1e9;
    client.smtp.Quit();
    const double megabytes = bytes / 1048576.0;
    std::printf("attachment of %.0f MB to %d recipients\n", megabytes, Recipients);
    std::printf("  TSmtpClient: %s, %.1f MB/s (%.2f s); event loop: longest timer gap %lld ms, "
                "longest posted-event delay %lld ms; resident memory %ld KB before, at most %ld KB during\n",
                sent ? "sent" : "FAILED", megabytes / seconds, seconds, probe.maxTickGapMs,
                probe.maxPostedDelayMs, residentBefore, probe.maxResidentKb);
    if (!withBaseline)
        return;
    const QJsonObject baseline =
        runSmtplib({QStringLiteral("large"), sink.portText(), path, QString::number(Recipients)});
    if (baseline.contains(QStringLiteral("error"))) {
        std::printf("  smtplib:     failed: %s\n", qPrintable(baseline.value(QStringLiteral("error")).toString()));
        return;
    }
    const double total = baseline.value(QStringLiteral("seconds")).toDouble();
    const double sendOnly = baseline.value(QStringLiteral("send")).toDouble();
    std::printf("  smtplib:     %.1f MB/s building and sending (%.2f s), %.1f MB/s sending only (%.2f s)\n",
                megabytes / total, total, megabytes / sendOnly, sendOnly);
}

void benchIdleWait()
{
    ScriptedSmtpServer sink;
    sink.script(".", {{"250 late", 10000}});
    Client client(sink.port());
    client.body = {"x"};
    client.smtp.TimeOut = 30;
    if (!client.smtp.Open()) {
        std::printf("idle: cannot open\n");
        return;
    }
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const bool sent = client.smtp.Mail();
    const double wall = clock.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    client.smtp.Quit();
    std::printf("waiting for a reply delayed 10 s: %s after %.2f s wall, %.3f s CPU (%.2f%%)\n",
                sent ? "accepted" : "FAILED", wall, cpu, 100.0 * cpu / wall);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // One part alone when named: small, text, large or idle.
    const QString only = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    QTemporaryDir dir;
    if (only.isEmpty() || only == QLatin1String("small"))
        benchSmallMessages();
    if (only.isEmpty() || only == QLatin1String("text"))
        benchTextPaths();
    if (only.isEmpty() || only == QLatin1String("large")) {
        benchLargeAttachment(dir, 10 << 20, true);
        benchLargeAttachment(dir, 1 << 20, false);
        benchLargeAttachment(dir, 40 << 20, false);
    }
    if (only.isEmpty() || only == QLatin1String("idle"))
        benchIdleWait();
    return 0;
}
