// Reads and matches a mail folder of 10 000 messages (or the count given as
// the first argument) as "Process replies..." does, through the classes its
// window drives: the folder read a slice at a time (the window's slice), each
// message matched to a store of 10 000 members, then everything found
// suppressed in one transaction. Half the messages are delivery reports
// (every third matched by our Message-ID's token), a fifth unsubscribe
// requests, the rest ordinary mail. It prints the time of the whole, the
// longest slice (the longest the window's event loop waits), and, as
// baseline in the same run, the mere reading of the folder's messages. The
// same for the folder as an mbox file and as a Maildir.
//
//   build/bench/bench_process_replies
#include "BenchStore.h"
#include "mailer/TF_Replies.h"
#include "replies/MailFolder.h"
#include "replies/ReplyProcessing.h"
#include "send/UnsubscribeSecret.h"
#include "store/SuppressionList.h"
#include "support/MailFolderWriter.h"
#include "support/MemorySecretStore.h"
#include "transport/MessageIds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace MF = MailFolderWriter;

namespace {

constexpr int Members = 10000;

QList<QByteArray> messages(int count, const UnsubscribeToken &tokens)
{
    const TMessageIds ids(QStringLiteral("sender@example.com"));
    QList<QByteArray> all;
    for (int i = 0; i < count; ++i) {
        // Member 0 is no number the store hands out: a token for it is never genuine.
        const int member = 1 + i % (Members - 1);
        const QString address = QStringLiteral("member%1@example.org").arg(member);
        if (i % 10 < 5)
            all << (i % 3 == 0
                        ? MF::bounce("fwd@other.example", "5.1.1", ids.forMessage(i + 1, tokens.make(member, address)))
                        : MF::bounce(address));
        else if (i % 10 < 7)
            all << MF::unsubscribeRequest(address, tokens.make(member, address));
        else
            all << MF::ordinary(address, "Re: News", QByteArray("Thanks for the news.\n").repeated(40));
    }
    return all;
}

void run(const char *kind, const QString &path, BenchStore::Workspace &space, SecretStore &secrets)
{
    QElapsedTimer clock;
    clock.start();
    MailFolder folder;
    folder.open(path);
    MailMessage message;
    int read = 0;
    while (folder.next(message))
        ++read;
    const double baselineMs = clock.nsecsElapsed() / 1e6;

    TDatabase &db = space.dm().Databas;
    TSuppressionList list(db);
    list.RemoveMany([&] {
        QStringList all;
        for (const TSuppressionRow &row : list.Rows())
            all << row.address;
        return all;
    }());
    clock.restart();
    TReplyProcessing processing(db, secrets, space.dm().StoreIdentity());
    processing.Open(path);
    qint64 longestSlice = 0;
    for (bool more = true; more;) {
        QElapsedTimer slice;
        slice.start();
        more = processing.Step(TF_Replies::SliceMs);
        longestSlice = std::max(longestSlice, slice.elapsed());
    }
    const double readMs = clock.nsecsElapsed() / 1e6;
    const int added = processing.Suppress(list);
    const double totalMs = clock.nsecsElapsed() / 1e6;
    std::printf("%-6s %6d messages: read and matched %8.1f ms, with the suppression of %5d %8.1f ms "
                "(goal < 5000 ms); longest slice %4lld ms; %zu lines skipped; baseline reading alone %8.1f ms\n",
                kind, processing.Result().messages, readMs, added, totalMs, static_cast<long long>(longestSlice),
                static_cast<size_t>(processing.Result().skipped.size()), baselineMs);
    if (read != processing.Result().messages)
        std::printf("  the baseline read %d messages\n", read);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    BenchStore::Workspace space;
    BenchStore::fillGroup(space.dm(), "Many", Members);
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    MemorySecretStore secrets(vault);
    QString failure;
    const UnsubscribeToken tokens(*UnsubscribeSecret::obtain(secrets, space.dm().StoreIdentity(), failure));
    const QList<QByteArray> folder = messages(count, tokens);
    MF::writeMbox(space.folder() + "Inbox", folder);
    MF::writeMaildir(space.folder() + "Maildir", folder);
    for (int round = 0; round < 3; ++round) {
        run("mbox", space.folder() + "Inbox", space, secrets);
        run("Maildir", space.folder() + "Maildir", space, secrets);
    }
    return 0;
}
