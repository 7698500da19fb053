#include "support/GroupSendFixture.h"
#include "support/MimeCheck.h"

#include "store/RecipientFields.h"

// A message with placeholders through the real run: each member reads its
// own values, the run says before the first member what the members lack,
// and a test send gets one member's message to the sender's own address.

namespace {

class GroupSendMergeTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        StoreSetup::addNamedGroup(
            *dm, "Club",
            {{QString::fromUtf8("Åsa Öberg"), "asa@x.org"}, {"Bo", "bo@x.org"}, {"", "cy@x.org"}, {"Dan", "dan@x.org"}});
        const QStringList unikt = StoreSetup::column(*dm, "Unikt", "Club");
        TRecipientFields fields(dm->Databas);
        fields.Write(unikt[0].toInt(), {{"Town", QString::fromUtf8("Göteborg")}, {"Number", "17"}});
        fields.Write(unikt[1].toInt(), {{"town", "Lund"}});
        fields.Write(unikt[3].toInt(), {{"Town", "Umeå"}, {"Number", "4"}});
    }
    void sendMerge(const QString &subject, const QStringList &lines)
    {
        run->StartConnection({"Club", subject, {}, lines});
    }
    ParsedMessage parsed(int index)
    {
        const ParsedMessage message = parseWithPython(server.messages().value(index));
        EXPECT_TRUE(message.ok) << message.error.toStdString();
        return message;
    }
    // Sends the message with every kind of placeholder and checks that each
    // member read its own values.
    void expectEachMembersOwnValues()
    {
        sendMerge("News for {{Town|everyone}}",
                  {"Dear {{name|friend}},", "your number is {{NUMBER|none}} in {{Group}}.", "Write to {{Email}} \\{{x}}"});
        ASSERT_EQ(server.messageCount(), 4);
        const QString expected[][3] = {
            {QString::fromUtf8("News for Göteborg"), QString::fromUtf8("Dear Åsa Öberg,"), "your number is 17 in Club."},
            {"News for Lund", "Dear Bo,", "your number is none in Club."},
            {"News for everyone", "Dear friend,", "your number is none in Club."},
            {QString::fromUtf8("News for Umeå"), "Dear Dan,", "your number is 4 in Club."},
        };
        const QString emails[] = {"asa@x.org", "bo@x.org", "cy@x.org", "dan@x.org"};
        for (int i = 0; i < 4; ++i) {
            const ParsedMessage message = parsed(i);
            EXPECT_EQ(message.subject, expected[i][0]);
            EXPECT_EQ(message.parts.value(0).text,
                      expected[i][1] + "\r\n" + expected[i][2] + "\r\nWrite to " + emails[i] + " {{x}}\r\n");
            ASSERT_EQ(message.toAddresses.size(), 1);
            EXPECT_EQ(message.toAddresses[0].address, emails[i]);
        }
        EXPECT_EQ(parsed(0).toAddresses[0].name, QString::fromUtf8("Åsa Öberg"));
        EXPECT_EQ(recipients(), QStringList(std::begin(emails), std::end(emails)));
    }
};

TEST_F(GroupSendMergeTest, EachMemberReadsTheirOwnValuesInSubjectTextAndToLine)
{
    expectEachMembersOwnValues();
}

// The next member's message is laid out while the one before it ends, so
// its envelope can leave with that end: still with its own values.
TEST_F(GroupSendMergeTest, EachMemberReadsTheirOwnValuesWhenEnvelopesGoAhead)
{
    server.script("EHLO", "250-test.local\r\n250 PIPELINING");
    expectEachMembersOwnValues();
}

TEST_F(GroupSendMergeTest, AFieldNoMemberHasIsToldBeforeAnyoneAndNoGoesBackWithoutSending)
{
    prompts.answer(PromptAnswer::No);
    sendMerge("Hi", {"From {{Twon|here}}"});
    ASSERT_EQ(prompts.shown().size(), 1);
    const QString text = prompts.shown()[0].text;
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Confirmation);
    EXPECT_TRUE(text.contains("No member of the group has the field \"Twon\" (4 members).")) << text.toStdString();
    EXPECT_EQ(server.connectionCount(), 0) << "no session was opened";
    EXPECT_EQ(run->Delivered(), 0);
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());
    EXPECT_TRUE(status.results.isEmpty());

    prompts.answer(PromptAnswer::Yes);
    sendMerge("Hi", {"From {{Twon|here}}"});
    ASSERT_EQ(server.messageCount(), 4);
    EXPECT_EQ(parsed(2).parts.value(0).text, "From here\r\n") << "the default where nobody has a value";
}

TEST_F(GroupSendMergeTest, MembersWithoutAValueAreCountedAndTheFirstNamedWhereNoDefaultCoversThem)
{
    StoreSetup::addGroup(*dm, "Many", {"a@x.org", "b@x.org", "c@x.org", "d@x.org", "e@x.org"});
    const QStringList unikt = StoreSetup::column(*dm, "Unikt", "Many");
    TRecipientFields(dm->Databas).Write(unikt[2].toInt(), {{"Town", "Lund"}});
    prompts.answer(PromptAnswer::Yes);
    run->StartConnection({"Many", "{{Town}} news", {}, {"In {{town}}, {{Name}}"}});
    ASSERT_EQ(prompts.shown().size(), 1);
    const QString text = prompts.shown()[0].text;
    EXPECT_TRUE(text.contains("4 members have no value for \"Town\" and the placeholder has no default: a, b, d, ..."))
        << text.toStdString();
    EXPECT_FALSE(text.contains("\"Name\"")) << "every member has a name";
    EXPECT_EQ(server.messageCount(), 5) << "Yes goes on";
    EXPECT_EQ(parseWithPython(server.messages()[0]).parts.value(0).text, "In , a\r\n")
        << "an empty value writes nothing, never the braces";

    // A default everywhere the field is used leaves nothing to tell; a field
    // that one member has is no typing error.
    run->StartConnection({"Many", "{{Town|Sweden}} news", {}, {"In {{town|Sweden}}"}});
    EXPECT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(server.messageCount(), 10);
}

TEST_F(GroupSendMergeTest, OneMissingValueAndAStrayBraceAreToldInTheSingular)
{
    prompts.answer(PromptAnswer::Yes);
    sendMerge("Hi", {"{{Name}} {{ is not closed"});
    ASSERT_EQ(prompts.shown().size(), 1);
    const QString text = prompts.shown()[0].text;
    EXPECT_TRUE(text.contains("1 member has no value for \"Name\" and the placeholder has no default: cy@x.org."))
        << text.toStdString();
    EXPECT_TRUE(text.contains("1 \"{{\" opens no placeholder and will be sent as typed.")) << text.toStdString();
}

TEST_F(GroupSendMergeTest, WithoutTheBoxTheRunLogsWhatIsMissingAndGoesOn)
{
    TGroupSendOptions options;
    options.AskAboutMergeGaps = false;
    // The run in hand lets go of the client before another takes it.
    run.reset();
    run = std::make_unique<TGroupSend>(*dm, *components, settings, status, options);
    sendMerge("Hi", {"{{Number}}", "{{Colour|grey}}"});
    EXPECT_TRUE(prompts.shown().isEmpty());
    ASSERT_EQ(server.messageCount(), 4);
    const QStringList log = status.results.value(0);
    EXPECT_TRUE(log.contains("NOTE 2 members have no value for \"Number\" and the placeholder has no default: Bo, "
                             "cy@x.org."))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains("NOTE No member of the group has the field \"Colour\" (4 members)."));
    EXPECT_EQ(parsed(1).parts.value(0).text, "\r\ngrey\r\n");
    for (const QByteArray &message : server.messages())
        EXPECT_FALSE(message.contains("{{")) << message.toStdString();
}

TEST_F(GroupSendMergeTest, AMemberTriedAgainLaterStillReadsTheirOwnValues)
{
    server.refuseFirstTry("RCPT", "bo@x.org", ScriptedSmtpServer::Reply{"450 4.2.0 greylisted, try again later"});
    // The retry's pause is over as soon as the status bar names its time.
    status.onActivity = [this](const QString &text) {
        if (text.startsWith("Trying "))
            clock.advanceSeconds(TGroupSend::RetryPauseSeconds);
    };
    sendMerge("{{Town|x}}", {"{{Town|x}}"});
    ASSERT_EQ(recipients(), QStringList({"asa@x.org", "bo@x.org", "cy@x.org", "dan@x.org", "bo@x.org"}));
    ASSERT_EQ(server.messageCount(), 4);
    EXPECT_EQ(parsed(3).subject, "Lund");
    EXPECT_EQ(parsed(3).toAddresses.value(0).address, "bo@x.org");
}

TEST_F(GroupSendMergeTest, ATestSendGetsOneMembersMessageToTheSendersOwnAddress)
{
    setLastMail("Club", 3);
    run->StartTest({"Club", "{{Town|x}} news", {}, {"Dear {{Name}}"}}, TTestSend{4, "[Test] "});
    EXPECT_TRUE(prompts.shown().isEmpty()) << "neither the resume question nor the gaps box";
    EXPECT_EQ(recipients(), QStringList({"ann@x.org"}));
    ASSERT_EQ(server.messageCount(), 1);
    const ParsedMessage message = parsed(0);
    EXPECT_EQ(message.subject, QString::fromUtf8("[Test] Umeå news"));
    EXPECT_EQ(message.parts.value(0).text, "Dear Dan\r\n");
    EXPECT_EQ(message.toAddresses, QList<ParsedMessage::Address>({{"Dan", "ann@x.org"}}))
        << "the member's name, the sender's address";
    EXPECT_EQ(lastMail("Club"), 3) << "the group's place is the real run's";
    EXPECT_EQ(run->Delivered(), 1);
    EXPECT_TRUE(status.sendEnabled);

    // Without a mark the subject is the member's own; the next real run
    // still asks where to go on.
    run->StartTest({"Club", "{{Town|x}} news", {}, {"Dear {{Name}}"}}, TTestSend{2, {}});
    EXPECT_EQ(parseWithPython(server.messages().value(1)).subject, "Lund news");
    prompts.answer(PromptAnswer::Yes);
    sendMerge("plain", {"plain"});
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].endsWith("Email Nr: 3"));
}

} // namespace
