// Measures the whole group send (store, run, SMTP client) against a local
// sink server: sends per second over a group of 10 000 members beside the
// bare SMTP client sending the same number of 1 KB messages in the same run,
// and the run's peak memory over 100 000 members beside an empty group's.
#include "BenchStore.h"
#include "SilentStatus.h"
#include "connection/NetworkManagerBackend.h"
#include "mailer/GroupSend.h"
#include "mailer/SendComponents.h"
#include "platform/Prompts.h"
#include "platform/Wait.h"
#include "store/DM_Databaser.h"
#include "support/ScriptedSmtpServer.h"
#include "transport/SmtpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

constexpr int RateMembers = 10000;
constexpr int MemoryMembers = 100000;
const QStringList Body(16, QString(62, u'x')); // 16 lines of 64 bytes: a 1 KB body

// The bare client: one session, count transactions of the same message.
double bareClientRate(quint16 port, int count)
{
    TWait wait;
    TSmtpClient client;
    client.setWait(&wait);
    client.Host = "127.0.0.1";
    client.Port = QString::number(port);
    client.FromName = "ann@example.org";
    client.HdrFrom = "Ann";
    client.HdrSubject = "Bench";
    client.OnGetData = [](TCustomSmtpClient *, qint32 lineNum, char *line, qint32, bool &more) {
        if (lineNum > Body.size()) {
            more = false;
            return;
        }
        std::memcpy(line, Body[lineNum - 1].toLatin1().constData(), 63);
    };
    QElapsedTimer timer;
    timer.start();
    client.Open();
    for (int i = 0; i < count; ++i) {
        client.RcptName = {QStringLiteral("member%1@example.org").arg(i)};
        client.HdrTo = QStringLiteral("Member %1").arg(i);
        client.Mail();
    }
    client.Quit();
    return count / (timer.nsecsElapsed() / 1e9);
}

struct RunFigures
{
    double seconds = 0;
    long peakGrowthKb = 0;
    int samples = 0;
    long beforeKb = 0;
};

// A whole run over the group, with the resident memory sampled while it runs.
RunFigures groupRun(TDM_Databaser &dm, quint16 port, const QString &group)
{
    TSendComponents components(std::make_unique<NetworkManagerBackend>());
    TMailerSettings settings;
    settings.FSmtpServer = "127.0.0.1";
    settings.FSmtpPort = QString::number(port);
    settings.FUserName = "Ann";
    settings.FUserEmail = "ann@example.org";
    SilentStatus status;
    TGroupSend run(dm, components, settings, status);
    const long before = BenchStore::residentKb();
    long peak = before;
    int samples = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        peak = std::max(peak, BenchStore::residentKb());
        ++samples;
    });
    sampler.start(20);
    QElapsedTimer timer;
    timer.start();
    run.StartConnection({group, "Bench", {}, Body});
    RunFigures figures;
    figures.seconds = timer.nsecsElapsed() / 1e9;
    figures.peakGrowthKb = std::max(peak, BenchStore::residentKb()) - before;
    figures.samples = samples;
    figures.beforeKb = before;
    return figures;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    BenchStore::create(folder);
    TDM_Databaser dm(folder);
    dm.DataModuleCreate();
    BenchStore::fillGroup(dm, "Empty", 0);
    BenchStore::fillGroup(dm, "Rate", RateMembers);
    BenchStore::fillGroup(dm, "Memory", MemoryMembers);
    dm.ta_Group.Refresh();

    ScriptedSmtpServer sink;
    sink.setCapture(false);
    const double bare = bareClientRate(sink.port(), RateMembers);
    const RunFigures rate = groupRun(dm, sink.port(), "Rate");
    const double runRate = RateMembers / rate.seconds;
    std::printf("%d members, 1 KB message: group send %.0f sends/s, bare SMTP client %.0f messages/s (%.0f%%)\n",
                RateMembers, runRate, bare, 100.0 * runRate / bare);

    const RunFigures empty = groupRun(dm, sink.port(), "Empty");
    const RunFigures large = groupRun(dm, sink.port(), "Memory");
    std::printf("peak memory growth during the run: empty group %ld kB, %d members %ld kB "
                "(%.1f s; resident memory %ld kB before the run, sampled %d times)\n",
                empty.peakGrowthKb, MemoryMembers, large.peakGrowthKb, large.seconds, large.beforeKb, large.samples);
    return 0;
}
