#include "send/UnsubscribeSecret.h"
#include "send/UnsubscribeToken.h"
#include "support/MemorySecretStore.h"
#include "transport/MessageIds.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QByteArray secretOf(char fill)
{
    return QByteArray(UnsubscribeToken::SecretBytes, fill);
}

// A store of two members, 7 and 12.
UnsubscribeToken::AddressOf members(QHash<qint64, QString> addresses = {{7, "ann@example.org"},
                                                                          {12, "bob@example.org"}})
{
    return [addresses](qint64 member) -> std::optional<QString> {
        const auto found = addresses.constFind(member);
        return found == addresses.cend() ? std::nullopt : std::optional<QString>(*found);
    };
}

} // namespace

TEST(UnsubscribeToken, NamesItsMemberInASafeForm)
{
    const UnsubscribeToken tokens(secretOf('a'));
    const QString token = tokens.make(7, "ann@example.org");
    EXPECT_TRUE(QRegularExpression("^7-[a-z2-7]{24}$").match(token).hasMatch()) << token.toStdString();
    EXPECT_EQ(UnsubscribeToken::memberOf(token), 7);
    EXPECT_EQ(tokens.verify(token, members()), 7);
    EXPECT_EQ(tokens.make(7, "ann@example.org"), token) << "the same member gets the same token in every run";
    // The address as addressKey compares it: the domain's case and spaces
    // around it do not change the member.
    EXPECT_EQ(tokens.make(7, " ann@EXAMPLE.org "), token);
    EXPECT_NE(tokens.make(7, "Ann@example.org"), token) << "a server may tell Ann from ann";
    // A mail client may send the subject back in capitals.
    EXPECT_EQ(tokens.verify(token.toUpper(), members()), 7);

    QSet<QString> seen;
    for (qint64 member = 1; member <= 200; ++member)
        seen.insert(tokens.make(member, "ann@example.org"));
    EXPECT_EQ(seen.size(), 200);
}

TEST(UnsubscribeToken, RefusesWhatWasNotMadeForTheMember)
{
    const UnsubscribeToken tokens(secretOf('a'));
    const QString ann = tokens.make(7, "ann@example.org");
    const QString letters = ann.mid(2);

    // Another member's number with Ann's letters, each letter altered, the
    // token cut short or lengthened: none is anybody's.
    EXPECT_EQ(tokens.verify("12-" + letters, members()), std::nullopt);
    for (int at = 0; at < letters.size(); ++at) {
        QString altered = letters;
        altered[at] = altered[at] == u'a' ? u'b' : u'a';
        EXPECT_EQ(tokens.verify("7-" + altered, members()), std::nullopt) << at;
    }
    EXPECT_EQ(tokens.verify(ann.chopped(1), members()), std::nullopt);
    EXPECT_EQ(tokens.verify(ann + "a", members()), std::nullopt);
    // A member who is gone, or whose address changed since the mail went.
    EXPECT_EQ(tokens.verify(ann, members({{12, "bob@example.org"}})), std::nullopt);
    EXPECT_EQ(tokens.verify(ann, members({{7, "ann@example.net"}})), std::nullopt);
    // Made under another store's secret.
    EXPECT_EQ(UnsubscribeToken(secretOf('b')).verify(ann, members()), std::nullopt);
    EXPECT_EQ(tokens.verify(UnsubscribeToken(secretOf('b')).make(7, "ann@example.org"), members()), std::nullopt);

    for (const char *shape : {"", "7", "7-", "-abc", "07-" "aaaaaaaaaaaaaaaaaaaaaaaa", "7-aaaaaaaaaaaaaaaaaaaaaaa1",
                              "0-aaaaaaaaaaaaaaaaaaaaaaaa", "7_aaaaaaaaaaaaaaaaaaaaaaaa",
                              "99999999999999999999-aaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_EQ(UnsubscribeToken::memberOf(shape), std::nullopt) << shape;
}

TEST(UnsubscribeToken, TravelsInTheSubjectOfAnUnsubscribeMail)
{
    const QString token = UnsubscribeToken(secretOf('a')).make(7, "ann@example.org");
    EXPECT_EQ(UnsubscribeToken::subjectFor(token), "unsubscribe " + token);
    EXPECT_EQ(UnsubscribeToken::tokenInSubject(UnsubscribeToken::subjectFor(token)), token);
    EXPECT_EQ(UnsubscribeToken::tokenInSubject("  Re: RE:Unsubscribe  " + token.toUpper() + " "), token);
    EXPECT_EQ(UnsubscribeToken::tokenInSubject("unsubscribe"), "");
    EXPECT_EQ(UnsubscribeToken::tokenInSubject("unsubscribe me please"), "");
    EXPECT_EQ(UnsubscribeToken::tokenInSubject("please unsubscribe " + token), "");
    EXPECT_EQ(UnsubscribeToken::tokenInSubject("unsubscribe " + token + " now"), "");
}

TEST(UnsubscribeToken, TravelsInOurMessageId)
{
    const TMessageIds ids("sender@example.org");
    const QString token = UnsubscribeToken(secretOf('a')).make(7, "ann@example.org");
    const QString id = ids.forMessage(3, token);
    EXPECT_TRUE(QRegularExpression("^<[0-9a-f]{16}\\.3\\." + QRegularExpression::escape(token) + "@example\\.org>$")
                    .match(id)
                    .hasMatch())
        << id.toStdString();
    EXPECT_EQ(TMessageIds::tokenOf(id), token);
    EXPECT_EQ(TMessageIds::tokenOf(" " + id.mid(1).chopped(1) + " "), token) << "as a DSN quotes it, without <>";
    EXPECT_EQ(TMessageIds::tokenOf(ids.forMessage(3)), "") << "a run without tokens names no member";
    EXPECT_EQ(TMessageIds::tokenOf("<7-aaaa@example.org>"), "") << "not one of ours";
    EXPECT_EQ(TMessageIds::tokenOf(""), "");
}

TEST(UnsubscribeSecret, MadeOncePerStoreAndKeptInTheSecretStore)
{
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    MemorySecretStore store(vault);
    QString failure;
    const auto first = UnsubscribeSecret::obtain(store, "store-one", failure);
    ASSERT_TRUE(first.has_value()) << failure.toStdString();
    EXPECT_EQ(first->size(), UnsubscribeToken::SecretBytes);
    EXPECT_EQ(UnsubscribeSecret::obtain(store, "store-one", failure), first) << "every later run uses the same";
    const auto other = UnsubscribeSecret::obtain(store, "store-two", failure);
    ASSERT_TRUE(other.has_value());
    EXPECT_NE(*other, *first) << "another store has a secret of its own";
    EXPECT_EQ(vault->secrets.size(), 2);
    EXPECT_EQ(vault->secrets.value(UnsubscribeSecret::KeyFor("store-one")), QString::fromLatin1(first->toHex()));
    EXPECT_TRUE(failure.isEmpty());

    // What is kept under the key but is no secret of ours is not used, and
    // not overwritten either: the tokens already out may have been made
    // under it by a later version.
    vault->secrets.insert(UnsubscribeSecret::KeyFor("store-three"), "not hex");
    EXPECT_EQ(UnsubscribeSecret::obtain(store, "store-three", failure), std::nullopt);
    EXPECT_TRUE(failure.startsWith("No unsubscribe token in this run: ")) << failure.toStdString();
    EXPECT_EQ(vault->secrets.value(UnsubscribeSecret::KeyFor("store-three")), "not hex");
}

TEST(UnsubscribeSecret, NoneWhereNoSecretStoreAnswers)
{
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    vault->available = false;
    MemorySecretStore store(vault);
    QString failure;
    EXPECT_EQ(UnsubscribeSecret::obtain(store, "store-one", failure), std::nullopt);
    EXPECT_EQ(failure, "No unsubscribe token in this run: no secret store answers (no store in this test)");
    EXPECT_TRUE(vault->secrets.isEmpty());
}
