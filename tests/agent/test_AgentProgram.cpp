#include "send/MessageFile.h"
#include "platform/TextFile.h"
#include "store/Field.h"
#include "support/RealSmtpServer.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The built ostrel98, copied into a program folder beside the mailer's
// store, sends a due schedule entry to a real SMTP server (aiosmtpd) as a
// program of its own, removes the entry and keeps its result log.
TEST(AgentProgram, SendsADueEntryToTheRealServerRemovesItAndKeepsItsLog)
{
    RealSmtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();

    TempProgramFolder folder;
    std::unique_ptr<TDM_Databaser> mailer = StoreSetup::openDataModule(folder);
    StoreSetup::addNamedGroup(*mailer, "Club", {{"Bo Ek", "bo@example.org"}, {"Cy Ray", "cy@example.org"}});
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(server.port())
                                       + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n"
                                         "[DATABAS]\r\nVERSION="
                                       + QByteArray::number(TDM_Databaser::RequiredVersion) + "\r\n");
    folder.writeFile("SIGNATURE/Regards.sig", "-- \r\nAnn\r\n");
    TMessageFile message;
    message.Text = {"Dear members,", "the meeting is moved."};
    message.Group = "Club";
    message.Signature = "REGARDS";
    message.Subject = "Meeting";
    ASSERT_TRUE(QDir().mkpath(folder.file("MSG")));
    ASSERT_TRUE(message.Save(folder.file("MSG/meeting.MSG")));

    TTable &schedule = mailer->ta_Agent;
    schedule.Insert();
    schedule.FieldByName("Group").SetAsString("Club");
    schedule.FieldByName("MsgFile").SetAsString(folder.file("MSG/meeting.MSG"));
    // The minute that has just come: due at the agent's first look.
    const QDateTime now = QDateTime::currentDateTime();
    schedule.FieldByName("Date").SetValue(now.date());
    schedule.FieldByName("Time").SetValue(QTime(now.time().hour(), now.time().minute()));
    schedule.Post();

    ASSERT_TRUE(QDir().mkpath(folder.file("agent")));
    ASSERT_TRUE(QFile::copy(CORVANE_DIST_DIR "/agent/ostrel98", folder.file("agent/ostrel98")));
    QProcess agent;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // "Prompt before send" is asked, and answered with its default, Yes.
    env.insert("LD_PRELOAD", CORVANE_ANSWER_BOXES_PRELOAD);
    agent.setProcessEnvironment(env);
    agent.setProcessChannelMode(QProcess::MergedChannels);
    agent.start(folder.file("agent/ostrel98"), {});
    ASSERT_TRUE(agent.waitForStarted());

    // The schedule timer looks every five seconds.
    EXPECT_TRUE(waitFor([&] { return server.messages().size() == 2; }, 30000)) << agent.readAll().toStdString();
    EXPECT_TRUE(waitFor(
        [&] {
            schedule.Refresh();
            return schedule.IsEmpty();
        },
        10000));

    agent.terminate();
    ASSERT_TRUE(agent.waitForFinished(10000));
    const QString output = QString::fromLocal8Bit(agent.readAll());
    EXPECT_EQ(agent.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(agent.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("Start sending group: Club, Continue? If No the group will be deleted from scheduler!"))
        << output.toStdString();

    const QList<RealSmtpServer::Received> received = server.messages();
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0].mailFrom, "ann@example.org");
    EXPECT_EQ(received[0].rcptTos, QStringList{"bo@example.org"});
    EXPECT_EQ(received[1].rcptTos, QStringList{"cy@example.org"});
    EXPECT_TRUE(received[0].data.contains("Subject: Meeting\r\n"));
    EXPECT_TRUE(received[0].data.contains("Dear members,\r\nthe meeting is moved.\r\n-- \r\nAnn\r\n"))
        << received[0].data.toStdString();

    // The result log beside the agent, with CR LF line ends.
    const QByteArray log = folder.readFile("agent/AGENT.RSU");
    EXPECT_TRUE(log.endsWith("\r\n"));
    EXPECT_FALSE(log.contains("\n\n"));
    const QStringList lines = TextFile::splitLines(QString::fromUtf8(log));
    // aiosmtpd offers SIZE: the plain ASCII message is told by its size alone.
    EXPECT_EQ(lines.filter(QRegularExpression("MAIL FROM:<ann@example.org> SIZE=\\d+$")).size(), 2) << log.toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("QUIT$")).size(), 1) << log.toStdString();
}

}
