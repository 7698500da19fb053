#include "support/MimeCheck.h"
#include "transport/Mailbox.h"
#include "transport/MessageIds.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QString Latin1 = QStringLiteral("iso-8859-1");

struct NamedAddress
{
    QString name;
    QString address;
};

// Names as users type them; each must come back from the receiver's parser
// as typed (blanks collapsed), with its address.
const QList<NamedAddress> Names{
    {"Ann Sender", "ann@example.org"},
    {"", "bare@example.org"},
    {" \t ", "blank@example.org"},
    {"Sender, Ann", "comma@example.org"},
    {"J. Smith", "dot@example.org"},
    {"Ann \"The Boss\" O'Hara", "quotes@example.org"},
    {"back\\slash (work)", "backslash@example.org"},
    {QString::fromUtf8("Jöns Öberg"), "jons@example.org"},
    {QString::fromUtf8("Öberg, Jöns"), "oberg@example.org"},
    {QString::fromUtf8("Smith, Jöns \"JJ\""), "mixed@example.org"},
    {QString::fromUtf8("Anna Öberg"), "anna@example.org"},
    {QString::fromUtf8("Καλημέρα κόσμε"), "greek@example.org"},
    {"=?utf-8?B?QQ==?= Reader", "literal@example.org"},
    {"Ann\tSender\r\n", "tab@example.org"},
    {QString::fromUtf8("Åsa-Britt Ängström-Lindqvist von Übermaß, Ph.D."), "long@example.org"},
};

} // namespace

TEST(Mailbox, NamesAreQuotedOrEncodedOnlyWhereTheyNeedIt)
{
    auto text = [](const QString &name) { return Mailbox::text(name, " a@b.org ", Latin1); };
    EXPECT_EQ(text("Ann Sender"), "Ann Sender <a@b.org>");
    EXPECT_EQ(text(""), "<a@b.org>");
    EXPECT_EQ(text("  "), "<a@b.org>");
    EXPECT_EQ(text("Sender, Ann"), "\"Sender, Ann\" <a@b.org>");
    EXPECT_EQ(text("J. Smith"), "\"J. Smith\" <a@b.org>");
    EXPECT_EQ(text("Ann \"B\" C\\D"), "\"Ann \\\"B\\\" C\\\\D\" <a@b.org>");
    EXPECT_EQ(text("O'Hara"), "O'Hara <a@b.org>") << "an apostrophe is part of an atom";
    // Letters outside ASCII go as encoded words, never inside quotes; plain
    // words beside them stay readable.
    EXPECT_EQ(text(QString::fromUtf8("Anna Öberg")), "Anna =?iso-8859-1?B?1mJlcmc=?= <a@b.org>");
    EXPECT_EQ(text(QString::fromUtf8("Öberg, Jöns")),
              "=?iso-8859-1?B?" + QByteArray("\xd6" "berg, J\xf6ns").toBase64() + "?= <a@b.org>");
    EXPECT_TRUE(text(QString::fromUtf8("Κώστας")).startsWith("=?utf-8?B?")) << "beyond the charset: UTF-8 words";
    EXPECT_FALSE(text("=?utf-8?B?QQ==?=").startsWith("=?utf-8?B?QQ==?="))
        << "a name that reads like an encoded word is encoded itself, so it arrives as typed";
}

TEST(Mailbox, PythonReadsEveryNameAndAddressBack)
{
    QByteArray to;
    QList<ParsedMessage::Address> expected;
    for (const NamedAddress &entry : Names) {
        to += (to.isEmpty() ? "" : ", ") + Mailbox::text(entry.name, entry.address, Latin1).toLatin1();
        expected.append({entry.name.simplified(), entry.address});
    }
    const QByteArray from = Mailbox::text(Names[3].name, Names[3].address, Latin1).toLatin1();
    const ParsedMessage parsed = parseWithPython("From: " + from + "\r\nTo: " + to + "\r\nSubject: x\r\n\r\nbody\r\n");
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
    EXPECT_EQ(parsed.fromAddresses, QList<ParsedMessage::Address>{expected[3]});
    ASSERT_EQ(parsed.toAddresses.size(), expected.size()) << to.toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(parsed.toAddresses[i], expected[i]);
}

TEST(Mailbox, TheDomainIsWhatFollowsTheLastAt)
{
    EXPECT_EQ(Mailbox::domain(" ann@example.org "), "example.org");
    EXPECT_EQ(Mailbox::domain("\"a@b\"@example.org"), "example.org");
    EXPECT_EQ(Mailbox::domain("Enter your Email address"), "") << "the settings' placeholder is no address";
    EXPECT_EQ(Mailbox::domain("@example.org"), "");
    EXPECT_EQ(Mailbox::domain("ann@"), "");
    EXPECT_EQ(Mailbox::domain(""), "");
}

TEST(MessageIds, DistinctPerMessageAndPerRunAndWellFormed)
{
    const TMessageIds first(" ann@example.org ");
    const TMessageIds second("ann@example.org");
    const QRegularExpression form("^<[0-9a-f]{16}\\.(\\d+)@example\\.org>$");
    QSet<QString> seen;
    for (int number = 1; number <= 20; ++number) {
        for (const TMessageIds *run : {&first, &second}) {
            const QString id = run->forMessage(number);
            const QRegularExpressionMatch match = form.match(id);
            ASSERT_TRUE(match.hasMatch()) << id.toStdString();
            EXPECT_EQ(match.captured(1).toInt(), number);
            seen.insert(id);
        }
    }
    EXPECT_EQ(seen.size(), 40);

    // Every form the domain can take reads as a well-formed Message-ID.
    const struct
    {
        const char *address;
        const char *domain;
    } domains[] = {
        {"ann@b\xc3\xbc" "cher.example", "xn--bcher-kva.example"},
        {"ann@[192.0.2.1]", "[192.0.2.1]"},
        {"ann@exa mple", "invalid"},
    };
    for (const auto &entry : domains) {
        const QString id = TMessageIds(QString::fromUtf8(entry.address)).forMessage(7);
        EXPECT_TRUE(id.endsWith(QStringLiteral(".7@%1>").arg(entry.domain))) << id.toStdString();
        const ParsedMessage parsed = parseWithPython("From: <ann@x.org>\r\nMessage-ID: " + id.toLatin1() + "\r\n\r\nbody\r\n");
        EXPECT_EQ(parsed.messageId, id);
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
    }
}
