#include "agent/AgentLoop.h"
#include "support/AgentFixture.h"

#include "store/RecipientFields.h"

#include <gtest/gtest.h>

// A message file saved with placeholders and sent by the agent: each member
// gets what the mailer's run sends them, byte for byte but for the lines
// that differ between any two runs.

namespace {

// The message less its Date and Message-ID lines.
QByteArray withoutRunLines(const QByteArray &message)
{
    QList<QByteArray> kept;
    for (const QByteArray &line : message.split('\n'))
        if (!line.startsWith("Date: ") && !line.startsWith("Message-ID: "))
            kept.append(line);
    return kept.join('\n');
}

class AgentMergeTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        AgentFixture::SetUp();
        StoreSetup::addNamedGroup(
            *mailerDm, "Club", {{QString::fromUtf8("Åsa Öberg"), "asa@x.org"}, {"Bo", "bo@x.org"}, {"", "cy@x.org"}});
        const QStringList unikt = StoreSetup::column(*mailerDm, "Unikt", "Club");
        TRecipientFields fields(mailerDm->Databas);
        fields.Write(unikt[0].toInt(), {{"Town", QString::fromUtf8("Göteborg")}});
        fields.Write(unikt[2].toInt(), {{"Town", "Lund"}});
    }
};

TEST_F(AgentMergeTest, TheAgentSendsEachMemberWhatTheMailersRunSends)
{
    const QStringList text{"Dear {{Name|friend}},", "the meeting in {{Town}} is on {{Day|Monday}}."};
    TMessageFile file;
    file.Text = text;
    file.Group = "Club";
    file.Signature = "GREETING";
    file.Subject = "{{Town|Sweden}}: {{Name}}";
    ASSERT_TRUE(file.Save(folder.file("merge.msg")));
    schedule("Club", folder.file("merge.msg"), clock.currentDateTime().addSecs(-60));
    RecordingStatus agentStatus;
    agent::TAgentLoop loop(*dm, *components, files(), agentStatus);
    loop.Choices.PromptBeforeSend = false;
    loop.Start();
    loop.timerTimer();
    EXPECT_TRUE(prompts.shown().isEmpty()) << "the agent asks nothing about missing values";
    ASSERT_EQ(server.messageCount(), 3);
    const QList<QByteArray> byAgent = server.messages();
    const QStringList log = loop.ResultLog();
    EXPECT_TRUE(log.contains("NOTE 1 member has no value for \"Town\" and the placeholder has no default: Bo."))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains("NOTE 1 member has no value for \"Name\" and the placeholder has no default: cy@x.org."))
        << log.join('\n').toStdString();

    // The mailer's run of the same message, with its signature as the
    // mailer appends it.
    TMailerSettings settings;
    settings.FSmtpServer = "127.0.0.1";
    settings.FSmtpPort = server.portText();
    settings.FUserName = "Ann Sender";
    settings.FUserEmail = "ann@x.org";
    RecordingStatus mailerStatus;
    TGroupSend mailerRun(*mailerDm, *components, settings, mailerStatus);
    prompts.answer(PromptAnswer::Yes); // the box the agent did not show
    mailerRun.Run({"Club", file.Subject, {}, text + QStringList{"-- ", "Ann"}});
    ASSERT_EQ(server.messageCount(), 6);
    const QList<QByteArray> byMailer = server.messages().mid(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(withoutRunLines(byAgent[i]), withoutRunLines(byMailer[i])) << "member " << i + 1;
    EXPECT_TRUE(byAgent[1].contains("Subject: Sweden: Bo\r\n")) << byAgent[1].toStdString();
    EXPECT_TRUE(byAgent[1].contains("\r\n\r\nDear Bo,\r\nthe meeting in  is on Monday.\r\n-- \r\nAnn\r\n"))
        << byAgent[1].toStdString();
    EXPECT_TRUE(byAgent[2].contains("Dear friend,")) << byAgent[2].toStdString();
}

} // namespace
