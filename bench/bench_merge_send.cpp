// Measures what placeholders cost a run through the real main window: a 1 KB
// body with five placeholders (three of them recipient fields, read with the
// members' pages) sent to every member of a large group, beside the same
// size of body without any, to the same local sink. Alternating rounds, the
// median of each; the resident memory before and at most during each run.
//
// Run offscreen (the default). Arguments, all optional: the members
// (100 000) and the rounds (3).
#include "BenchStore.h"
#include "WindowSend.h"
#include "connection/NetworkManagerBackend.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "platform/Prompts.h"
#include "store/DM_Databaser.h"
#include "send/MemberPages.h"
#include "send/MemberRendering.h"
#include "store/Query.h"
#include "support/ScriptedSmtpServer.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The plain body with five of its words made placeholders, each filled with
// about as many characters as it takes, so both bodies are 1 KB on the wire.
QStringList mergeBody()
{
    QStringList body = WindowSend::Body;
    body[0] = QStringLiteral("Dear {{Name}}, the quick brown fox jumps over the lazy dog...");
    body[3] = QStringLiteral("The quick brown fox of {{Town}} jumps over the lazy dog, again.");
    body[7] = QStringLiteral("Your number {{Number}}: the quick brown fox jumps over the dog.");
    body[11] = QStringLiteral("The quick {{Colour|brown}} fox jumps over the lazy dog, again...");
    body[15] = QStringLiteral("Sent to {{Email}}; the quick brown fox jumps over the lazy dog.");
    return body;
}

void addFields(TDM_Databaser &dm, const QString &group)
{
    dm.Databas.StartTransaction();
    TQuery q(&dm.Databas);
    for (const char *field : {"Town", "Number", "Colour"}) {
        q.SetStatement({"INSERT INTO RecipientField (Recipient, Field, Value)",
                        "SELECT Unikt, :field, :field || ' ' || Unikt FROM EMAILS WHERE Grupp = :group"},
                       {{"field", QString::fromLatin1(field)}, {"group", group}});
        q.ExecSQL();
    }
    dm.Databas.Commit();
}

struct Round
{
    double seconds = 0;
    double cpu = 0;
    long memoryKb = 0;
};

Round timedRun(TF_Mdi &mdi, const QString &subject, const QStringList &body)
{
    long peak = BenchStore::residentKb();
    const long before = peak;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] { peak = std::max(peak, BenchStore::residentKb()); });
    probe.start();
    const WindowSend::Run run = WindowSend::run(mdi, "Members", {}, subject, body);
    probe.stop();
    if (run.outcome != QLatin1String("Operation finished"))
        std::fprintf(stderr, "the run ended with \"%s\"\n", qPrintable(run.outcome));
    return {run.seconds, run.cpu, peak - before};
}

// The members read a page at a time and each one's message rendered, as the
// run does it, without sending: what placeholders add to each message, in
// CPU seconds for the whole group.
double renderOnly(TDM_Databaser &dm, const QString &subject, const QStringList &body)
{
    const double cpu = WindowSend::cpuSeconds();
    TMemberRendering rendering({"Members", subject, {}, body});
    TMemberPages pages(&dm.Databas);
    qsizetype characters = 0;
    for (pages.Open("Members", rendering.fieldNames()); !pages.Eof(); pages.Next()) {
        rendering.render(pages.Name(), pages.Email(), pages.Fields());
        characters += rendering.subject().size() + rendering.lines().size();
    }
    if (characters == 0)
        std::fprintf(stderr, "nothing was rendered\n");
    return WindowSend::cpuSeconds() - cpu;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto argument = [&](int index, int otherwise) {
        return argc > index ? QByteArray(argv[index]).toInt() : otherwise;
    };
    const int members = argument(1, 100000);
    const int rounds = std::max(1, argument(2, 3));
    WindowSend::ConsolePrompts prompts;
    PromptService::Scope promptScope(prompts);
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    BenchStore::fillGroup(dm, "Members", members);
    addFields(dm, "Members");
    dm.ta_Group.Refresh();

    ScriptedSmtpServer sink;
    sink.setCapture(false);
    WindowSend::writeSettings(workspace.folder(), sink.port());
    TMailerSession session(dm, workspace.folder(), [] { return std::make_unique<NetworkManagerBackend>(); });
    TF_Mdi mdi(session);
    mdi.show();
    QCoreApplication::processEvents();
    const QStringList merged = mergeBody();
    std::printf("platform %s, %d members, one connection to a local sink; %d alternating rounds\n",
                qPrintable(QGuiApplication::platformName()), members, rounds);
    std::printf("  body without placeholders %lld characters, with five %lld characters as typed\n",
                static_cast<long long>(WindowSend::Body.join("\r\n").size()),
                static_cast<long long>(merged.join("\r\n").size()));

    std::vector<double> plain, merge, plainCpu, mergeCpu;
    long plainMemory = 0, mergeMemory = 0;
    for (int round = 0; round < rounds; ++round) {
        const Round p = timedRun(mdi, "Bench", WindowSend::Body);
        const Round m = timedRun(mdi, "Bench for {{Name}}", merged);
        plain.push_back(p.seconds);
        merge.push_back(m.seconds);
        plainCpu.push_back(p.cpu);
        mergeCpu.push_back(m.cpu);
        plainMemory = std::max(plainMemory, p.memoryKb);
        mergeMemory = std::max(mergeMemory, m.memoryKb);
        std::printf("  round %d: without %.2f s (%.2f s CPU), with placeholders %.2f s (%.2f s CPU)\n", round + 1,
                    p.seconds, p.cpu, m.seconds, m.cpu);
        std::fflush(stdout);
    }
    const double p = BenchStore::median(plain);
    const double m = BenchStore::median(merge);
    const double pc = BenchStore::median(plainCpu);
    const double mc = BenchStore::median(mergeCpu);
    std::printf("  without placeholders  %6.2f s  %6.0f messages/s  %.3f ms CPU each  memory at most %ld kB more\n", p,
                members / p, 1000 * pc / members, plainMemory);
    std::printf("  with five             %6.2f s  %6.0f messages/s  %.3f ms CPU each  memory at most %ld kB more\n", m,
                members / m, 1000 * mc / members, mergeMemory);
    const double readPlain = renderOnly(dm, "Bench", WindowSend::Body);
    const double readMerged = renderOnly(dm, "Bench for {{Name}}", merged);
    std::printf("  the members' pages read and each message rendered, without sending: %.3f ms CPU each without "
                "placeholders, %.3f ms with five (the difference is %.1f%% of the CPU of the window's run without)\n",
                1000 * readPlain / members, 1000 * readMerged / members, 100 * (readMerged - readPlain) / pc);
    std::printf("  placeholders take %.1f%% more time (ratio %.3f), %.1f%% more CPU (ratio %.3f)\n", 100 * (m - p) / p,
                m / p, 100 * (mc - pc) / pc, mc / pc);
    return 0;
}
