#include "support/GroupSendFixture.h"
#include "support/MimeCheck.h"

namespace {

// The Content-Type line of a received message's header.
QByteArray contentType(const QByteArray &message)
{
    for (const QByteArray &line : message.split('\n'))
        if (line.startsWith("Content-Type:"))
            return line.trimmed();
    return {};
}

} // namespace

TEST_F(GroupSendTest, TheCharsetStaysIso88591WhereItHoldsEveryTextOfTheMessage)
{
    StoreSetup::addNamedGroup(*dm, "Names", {{QString::fromUtf8("Jöns Åberg"), "jons@x.org"},
                                             {QString::fromUtf8("Łukasz Żółć"), "lukasz@x.org"}});
    send("Names", {QString::fromUtf8("Grüße från Åsa")});
    ASSERT_EQ(server.messageCount(), 2);
    const QList<QByteArray> messages = server.messages();
    EXPECT_EQ(contentType(messages[0]), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    // A name that iso-8859-1 cannot hold: the member's whole message is UTF-8.
    EXPECT_EQ(contentType(messages[1]), "Content-Type: text/plain; charset=\"utf-8\"");
    for (int i = 0; i < 2; ++i) {
        const ParsedMessage parsed = parseWithPython(messages[i]);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        EXPECT_EQ(parsed.parts.at(0).text, QString::fromUtf8("Grüße från Åsa\r\n"));
    }
    EXPECT_EQ(parseWithPython(messages[1]).toAddresses,
              QList<ParsedMessage::Address>({{QString::fromUtf8("Łukasz Żółć"), "lukasz@x.org"}}));

    send("Names", {QString::fromUtf8("5 € — “quoted”")});
    ASSERT_EQ(server.messageCount(), 4);
    EXPECT_EQ(contentType(server.messages()[2]), "Content-Type: text/plain; charset=\"utf-8\"")
        << "a text iso-8859-1 cannot hold";
    EXPECT_EQ(parseWithPython(server.messages()[2]).parts.at(0).text, QString::fromUtf8("5 € — “quoted”\r\n"))
        << "no character became \"?\"";
}

TEST_F(GroupSendTest, AMemberWhoseAddressTheServerCannotTakeFailsAndTheRunGoesOn)
{
    StoreSetup::addGroup(*dm, "Mixed", {"a@x.org", QString::fromUtf8("łukasz@x.org"), "c@x.org"});
    send("Mixed");
    EXPECT_EQ(recipients(), (QStringList{"a@x.org", "c@x.org"}));
    EXPECT_EQ(server.messageCount(), 2);
    const QStringList results = status.results.value(0);
    const QString reason = QString::fromUtf8("Not sent to 'łukasz@x.org': the address has characters outside "
                                             "ASCII, and the server '127.0.0.1' does not take them (it offers no "
                                             "SMTPUTF8)");
    EXPECT_TRUE(results.contains(QString::fromUtf8("ERROR Couldn't send email nr: 2 łukasz@x.org")))
        << results.join('\n').toStdString();
    EXPECT_TRUE(results.join('\n').contains(reason)) << results.join('\n').toStdString();
    EXPECT_EQ(status.activity, "Operation finished");
}

TEST_F(GroupSendTest, AMessageLargerThanTheServerTakesGoesToNobody)
{
    server.script("EHLO", "250-test.local\r\n250 SIZE 2000");
    send("Ten", {QString(900, u'x'), QString(900, u'y'), QString(900, u'z')});
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_TRUE(recipients().isEmpty()) << "not one member was tried";
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].contains("larger than the 2000 bytes the server '127.0.0.1' takes"))
        << prompts.texts()[0].toStdString();
    ASSERT_EQ(status.results.size(), 1);
    EXPECT_TRUE(status.results[0].join('\n').contains("ERROR The message is ")) << status.results[0].join('\n').toStdString();
    EXPECT_EQ(lastMail("Ten"), 0) << "nobody got it: the next run starts with the first member";
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());

    // Within the limit it goes to everyone, with its size told.
    send("Ten", {"short"});
    EXPECT_EQ(server.messageCount(), 10);
    for (const QByteArray &command : server.commands()) {
        if (command.startsWith("MAIL FROM:")) {
            EXPECT_TRUE(command.contains(" SIZE=")) << command.toStdString();
        }
    }
}
