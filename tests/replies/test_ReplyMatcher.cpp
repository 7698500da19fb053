#include "replies/ReplyMatcher.h"
#include "replies/ReplyProcessing.h"

#include "send/UnsubscribeSecret.h"
#include "store/SuppressionList.h"
#include "support/MailFolderWriter.h"
#include "support/MemorySecretStore.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "transport/MessageIds.h"

#include <QSet>
#include <gtest/gtest.h>

// Replies matched to the members of a real store, and the folder read and
// suppressed as "Process replies..." does it: what is found is exactly what
// the folder proves, and whatever cannot be trusted is skipped with a line.

namespace MF = MailFolderWriter;

namespace {

const QByteArray Secret(UnsubscribeToken::SecretBytes, 's');
// Our Message-IDs, as a run makes them.
const TMessageIds Ids(QStringLiteral("sender@example.com"));

class ReplyMatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        numbers = MF::addMembers(*dm, "Club", {"ann@example.org", "bob@example.org", "cid@example.org"});
        MF::addMembers(*dm, "Choir", {"ann@EXAMPLE.org"});
    }

    ReplyMatcher::Result read(const QList<QByteArray> &messages, const UnsubscribeToken &under)
    {
        EXPECT_TRUE(MF::writeMbox(folder.file("replies.mbox"), messages));
        return ReplyMatcher(dm->Databas, under).process(folder.file("replies.mbox"));
    }
    QString tokenOf(int member, const UnsubscribeToken &under = UnsubscribeToken(Secret))
    {
        const QString addresses[] = {"ann@example.org", "bob@example.org", "cid@example.org"};
        return under.make(numbers[member], addresses[member]);
    }
    static QStringList addresses(const ReplyMatcher::Result &result)
    {
        QStringList found;
        for (const ReplyMatcher::Finding &f : result.found)
            found << f.address;
        return found;
    }

    TempProgramFolder folder;
    std::unique_ptr<TDM_Databaser> dm;
    QList<qint64> numbers;
    const UnsubscribeToken tokens{Secret};
};

TEST_F(ReplyMatcherTest, GenuineTokenUnsubscribesItsMemberInEveryGroup)
{
    const auto result = read({MF::unsubscribeRequest("Bob <other@elsewhere.net>", tokenOf(1)),
                              MF::unsubscribeRequest("ann@example.org", tokenOf(0))},
                             tokens);
    ASSERT_EQ(addresses(result), QStringList({"bob@example.org", "ann@example.org"}))
        << "the token names the member, whoever sent the mail";
    EXPECT_EQ(result.found[0].reason, "unsubscribed");
    EXPECT_EQ(result.found[0].matchedBy, "token");
    EXPECT_TRUE(result.found[0].evidence.contains("other@elsewhere.net"));
    EXPECT_EQ(result.found[1].members, QStringList({"ann <ann@example.org> in Club", "ann <ann@EXAMPLE.org> in Choir"}))
        << "one address in two groups is one person";
    EXPECT_EQ(result.messages, 2);
    EXPECT_TRUE(result.skipped.isEmpty()) << result.skipped.join('\n').toStdString();
}

TEST_F(ReplyMatcherTest, ForgedAlteredOrForeignTokensSuppressNobody)
{
    QString altered = tokenOf(2);
    altered[altered.size() - 1] = altered.back() == 'a' ? 'b' : 'a';
    const QString otherStore = tokenOf(2, UnsubscribeToken(QByteArray(UnsubscribeToken::SecretBytes, 'x')));
    const QString otherMember = QString::number(numbers[0]) + tokenOf(2).mid(tokenOf(2).indexOf('-'));
    const auto result =
        read({MF::unsubscribeRequest("cid@example.org", altered), MF::unsubscribeRequest("cid@example.org", otherStore),
              MF::unsubscribeRequest("ann@example.org", otherMember),
              MF::unsubscribeRequest("x@example.org", "999999-aaaaaaaaaaaaaaaaaaaaaaaa")},
             tokens);
    EXPECT_TRUE(result.found.isEmpty()) << addresses(result).join(' ').toStdString();
    ASSERT_EQ(result.skipped.size(), 4);
    for (const QString &line : result.skipped)
        EXPECT_TRUE(line.contains("not one this store made")) << line.toStdString();
}

TEST_F(ReplyMatcherTest, TokenOfAMemberWhoseAddressChangedSinceIsNotTrusted)
{
    const QString token = tokenOf(1);
    TQuery q(&dm->Databas);
    q.SetStatement({"UPDATE EMAILS SET Email = 'bobby@example.org' WHERE Unikt = :n"}, {{"n", numbers[1]}});
    q.ExecSQL();
    const auto result = read({MF::unsubscribeRequest("bob@example.org", token)}, tokens);
    EXPECT_TRUE(result.found.isEmpty());
    EXPECT_EQ(result.skipped.size(), 1);
}

TEST_F(ReplyMatcherTest, BounceOfOurMessageIsItsMembersWhateverAddressFailed)
{
    const QString ourId = Ids.forMessage(7, tokenOf(2));
    const auto result = read({MF::bounce("cid.forwarded@mail.example.net", "5.1.1", ourId)}, tokens);
    ASSERT_EQ(addresses(result), QStringList({"cid@example.org"}));
    EXPECT_EQ(result.found[0].reason, "hard bounce");
    EXPECT_EQ(result.found[0].matchedBy, "Message-ID");
    EXPECT_TRUE(result.found[0].evidence.contains("5.1.1"));
}

TEST_F(ReplyMatcherTest, BounceWithAForgedTokenInItsMessageIdIsSkippedEvenForAMembersAddress)
{
    const QString forged = Ids.forMessage(7, tokenOf(2, UnsubscribeToken(QByteArray(32, 'f'))));
    const auto result = read({MF::bounce("cid@example.org", "5.1.1", forged)}, tokens);
    EXPECT_TRUE(result.found.isEmpty());
    ASSERT_EQ(result.skipped.size(), 1);
    EXPECT_TRUE(result.skipped[0].contains("whose token is not one this store made"));
}

TEST_F(ReplyMatcherTest, BounceWithoutOurMessageIdFallsBackToTheAddressAndNamesStrangers)
{
    const auto result =
        read({MF::bounce("ann@EXAMPLE.org"), MF::bounce("ANN@example.org"), MF::bounce("bob@example.org", "5.2.2"),
              MF::bounce("bob@example.org", "4.4.1", {}, "delayed")},
             tokens);
    ASSERT_EQ(addresses(result), QStringList({"ann@example.org"}))
        << "the domain's case does not count, the local part's does";
    EXPECT_EQ(result.found[0].matchedBy, "address");
    ASSERT_EQ(result.skipped.size(), 3);
    EXPECT_TRUE(result.skipped[0].startsWith("message 2"));
    EXPECT_TRUE(result.skipped[0].contains("ANN@example.org failed, but no member has that address"))
        << "a server may tell ANN from ann";
    // A full mailbox passes, a delay says nothing lasting: bob stays.
    EXPECT_TRUE(result.skipped[1].startsWith("message 3") && result.skipped[1].contains("5.2.2"));
    EXPECT_TRUE(result.skipped[2].startsWith("message 4") && result.skipped[2].contains("delayed"));
}

TEST_F(ReplyMatcherTest, SecondEvidenceOfAnAddressIsNotedOnceAndOrdinaryMailCounted)
{
    const auto result = read({MF::bounce("bob@example.org"), MF::unsubscribeRequest("bob@example.org", tokenOf(1)),
                              MF::ordinary("friend@example.net", "Lunch?"), MF::ordinary("x@example.net", "Re: News")},
                             tokens);
    ASSERT_EQ(addresses(result), QStringList({"bob@example.org"}));
    EXPECT_EQ(result.found[0].reason, "hard bounce") << "the first evidence stands";
    EXPECT_EQ(result.ordinary, 2);
    EXPECT_EQ(result.skipped, QStringList({"message 2 (line 29): bob@example.org found already in message 1 (line 1)",
                                           "2 other messages: neither a delivery report nor an unsubscribe request"}));
}

// The folder as "Process replies..." reads it: a slice at a time, then one
// suppression of everything found.
class ReplyProcessingTest : public ReplyMatcherTest
{
protected:
    void SetUp() override
    {
        ReplyMatcherTest::SetUp();
        vault->secrets.insert(UnsubscribeSecret::KeyFor(dm->StoreIdentity()), QString::fromLatin1(Secret.toHex()));
    }

    // Reads path to its end in slices, counting them.
    int readThrough(TReplyProcessing &processing, const QString &path)
    {
        EXPECT_TRUE(processing.Open(path));
        int slices = 1;
        while (processing.Step(0))
            ++slices;
        EXPECT_TRUE(processing.Finished());
        return slices;
    }
    QSet<QString> suppressed()
    {
        QSet<QString> listed;
        for (const TSuppressionRow &row : TSuppressionList(dm->Databas).Rows())
            listed.insert(row.address);
        return listed;
    }

    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    MemorySecretStore secrets{vault};
};

TEST_F(ReplyProcessingTest, GeneratedFolderOfAThousandBouncesAndAHundredRequestsSuppressesExactlyThose)
{
    QStringList addresses;
    for (int i = 0; i < 1500; ++i)
        addresses << QStringLiteral("m%1@example.net").arg(i);
    const QList<qint64> members = MF::addMembers(*dm, "Many", addresses);
    QList<QByteArray> messages;
    QSet<QString> expected;
    // Bounces of 1000 members, every third through our Message-ID only
    // (the report names the address the mail was forwarded to); requests of
    // 100 others; mail from the rest that asks for nothing.
    for (int i = 0; i < 1000; ++i) {
        const QString id = Ids.forMessage(i + 1, tokens.make(members[i], addresses[i]));
        messages << (i % 3 == 0 ? MF::bounce("fwd" + QString::number(i) + "@other.example", "5.1.1", id)
                                : MF::bounce(addresses[i], i % 2 ? "5.1.1" : "5.1.10"));
        expected.insert(addresses[i]);
    }
    for (int i = 1000; i < 1100; ++i) {
        messages.insert(i - 990, MF::unsubscribeRequest(addresses[i], tokens.make(members[i], addresses[i])));
        expected.insert(addresses[i]);
    }
    for (int i = 1100; i < 1200; ++i)
        messages << MF::ordinary(addresses[i], "unsubscribe me please " + addresses[i].toUtf8());
    const QString path = folder.file("Inbox");
    ASSERT_TRUE(MF::writeMbox(path, messages));

    TReplyProcessing processing(dm->Databas, secrets, dm->StoreIdentity());
    EXPECT_GT(readThrough(processing, path), 1) << "read in slices";
    EXPECT_EQ(processing.Result().messages, 1200);
    EXPECT_EQ(processing.Result().found.size(), 1100);
    TSuppressionList list(dm->Databas);
    EXPECT_EQ(processing.Suppress(list), 1100);
    EXPECT_EQ(suppressed(), expected);
    int unsubscribed = 0;
    for (const TSuppressionRow &row : list.Rows())
        unsubscribed += row.reason == "unsubscribed";
    EXPECT_EQ(unsubscribed, 100);
    EXPECT_EQ(processing.Suppress(list), 0) << "a second OK adds nothing";
}

TEST_F(ReplyProcessingTest, BadInputIsSkippedWithALineAndNeverSuppressesAnybody)
{
    QByteArray malformed = MF::bounce("ann@example.org");
    malformed.replace("Final-Recipient: rfc822; ann@example.org", "Final-Recipient: ann@example.org");
    QByteArray noStatus = MF::bounce("bob@example.org");
    noStatus.replace("Status: 5.1.1", "Status: permanent");
    // 50 MB: a report whose status part lies beyond what is read of it.
    QByteArray huge = MF::bounce("cid@example.org");
    huge.insert(huge.indexOf("--rb\nContent-Type: message/delivery-status"),
                QByteArray(50 << 20, 'x').replace(QByteArray(76, 'x'), QByteArray(75, 'x') + '\n'));
    const QByteArray forged =
        MF::unsubscribeRequest("ann@example.org", QString::number(numbers[0]) + "-abcdefghijklmnopqrstuvwx");
    QByteArray truncated = MF::mbox({MF::ordinary("a@example.net", "hi")});
    truncated += "From MAILER-DAEMON Thu Dec 10 10:00:00 2026\n" + MF::bounce("bob@example.org").left(300);
    truncated.chop(1); // the file ends in the middle of a line
    const QByteArray whole = MF::mbox({malformed, noStatus, huge, forged}) + truncated;
    folder.writeFile("bad.mbox", whole);

    TReplyProcessing processing(dm->Databas, secrets, dm->StoreIdentity());
    readThrough(processing, folder.file("bad.mbox"));
    const ReplyMatcher::Result &result = processing.Result();
    EXPECT_TRUE(result.found.isEmpty()) << result.found.first().address.toStdString();
    EXPECT_EQ(result.messages, 6);
    const QStringList &lines = result.skipped;
    ASSERT_EQ(lines.size(), 6) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("message 1") && lines[0].contains("without a readable Final-Recipient"));
    EXPECT_TRUE(lines[1].startsWith("message 2") && lines[1].contains("no status code"));
    EXPECT_TRUE(lines[2].startsWith("message 3") && lines[2].contains("of a message of 50 MB"))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("message 4") && lines[3].contains("not one this store made"));
    EXPECT_TRUE(lines[4].startsWith("message 6") && lines[4].contains("ends in the middle"));
    EXPECT_EQ(lines[5], "1 other messages: neither a delivery report nor an unsubscribe request");
    TSuppressionList list(dm->Databas);
    EXPECT_EQ(processing.Suppress(list), 0);
    EXPECT_TRUE(suppressed().isEmpty());
}

TEST_F(ReplyProcessingTest, WithoutTheSecretStoreNoTokenIsTrustedAndTheFirstLineSaysWhy)
{
    vault->available = false;
    const QString path = folder.file("Maildir");
    ASSERT_TRUE(
        MF::writeMaildir(path, {MF::unsubscribeRequest("ann@example.org", tokenOf(0)), MF::bounce("bob@example.org")}));
    TReplyProcessing processing(dm->Databas, secrets, dm->StoreIdentity());
    readThrough(processing, path);
    EXPECT_EQ(addresses(processing.Result()), QStringList({"bob@example.org"})) << "an address match needs no secret";
    ASSERT_EQ(processing.Result().skipped.size(), 2);
    EXPECT_TRUE(processing.Result().skipped[0].startsWith("Unsubscribe tokens cannot be checked"));
    EXPECT_TRUE(processing.Result().skipped[0].contains("no secret store answers"));
    EXPECT_TRUE(processing.Result().skipped[1].startsWith("new/000000.test:2,"));
}

TEST_F(ReplyProcessingTest, FolderThatCannotBeReadEndsAtOnceWithItsReason)
{
    TReplyProcessing processing(dm->Databas, secrets, dm->StoreIdentity());
    EXPECT_FALSE(processing.Open(folder.file("no such mbox")));
    EXPECT_TRUE(processing.Finished());
    EXPECT_FALSE(processing.Step(50));
    ASSERT_EQ(processing.Result().skipped.size(), 1);
    EXPECT_TRUE(processing.Result().skipped[0].contains("no such mbox"));
}

} // namespace
