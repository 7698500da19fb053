#pragma once

#include "support/GroupSendFixture.h"
#include "send/MessageFile.h"
#include "platform/FileLocations.h"
#include "store/Field.h"

#include <QDir>

// The agent's folder under a program folder whose store and settings the
// mailer made: a group "Ten" of ten members and an empty group, CORVAN.INI
// naming the scripted SMTP server, a message file and a signature. The
// agent's own data module opens the schedule as the agent program does.
class AgentFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mailerDm = StoreSetup::openDataModule(folder);
        addSendGroups(*mailerDm);
        writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + server.portText().toUtf8()
                      + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@x.org\r\n");
        ASSERT_TRUE(QDir().mkpath(folder.file("agent")));
        ASSERT_TRUE(QDir().mkpath(folder.file("SIGNATURE")));
        folder.writeFile("SIGNATURE/Greeting.sig", "-- \r\nAnn\r\n");
        writeMessage("hello.msg", {"Hello", "second line"}, "GREETING");

        dm = std::make_unique<TDM_Databaser>(folder.path(), folder.path());
        dm->OpenSchedule();
        phoneBook = new InMemoryPhoneBook;
        components = std::make_unique<TSendComponents>(std::unique_ptr<DialUpBackend>(phoneBook));
        components->Wait1.setInterval(10);
    }

    FileLocations files() const
    {
        return FileLocations::forAgent(folder.file("agent/"), QProcessEnvironment());
    }
    // Keeps the store's version key the store setup wrote.
    void writeSettings(const QByteArray &content)
    {
        folder.writeFile("CORVAN.INI",
                         content + "[DATABAS]\r\nVERSION=" + QByteArray::number(TDM_Databaser::RequiredVersion) + "\r\n");
    }
    QString writeMessage(const QString &name, const QStringList &text, const QString &signature = "None",
                         const QStringList &attachments = {})
    {
        TMessageFile message;
        message.Text = text;
        message.Group = "Saved for";
        message.Signature = signature;
        message.Attachments = attachments;
        message.Subject = "Greetings";
        EXPECT_TRUE(message.Save(folder.file(name)));
        return folder.file(name);
    }
    void schedule(const QString &group, const QString &msgFile, const QDateTime &when)
    {
        scheduleAt(group, msgFile, when.date(), when.time());
    }
    // Also a minute that a clock skips, which no QDateTime holds. Returns
    // the entry's rowid.
    qint64 scheduleAt(const QString &group, const QString &msgFile, const QDate &date, const QTime &time)
    {
        TTable &agent = dm->ta_Agent;
        agent.Insert();
        agent.FieldByName("Group").SetAsString(group);
        agent.FieldByName("MsgFile").SetAsString(msgFile);
        agent.FieldByName("Date").SetValue(date);
        agent.FieldByName("Time").SetValue(time);
        agent.Post();
        return agent.CurrentRowId();
    }
    QStringList scheduledGroups()
    {
        TTable &agent = dm->ta_Agent;
        agent.Refresh();
        QStringList groups;
        for (agent.First(); !agent.Eof(); agent.Next())
            groups.append(agent.FieldByName("Group").AsString());
        return groups;
    }
    QStringList recipients() { return envelopeRecipients(server); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    ScriptedSmtpServer server;
    MockClock clock{QDateTime(QDate(2026, 12, 8), QTime(11, 46, 30))};
    std::unique_ptr<TDM_Databaser> mailerDm;
    std::unique_ptr<TDM_Databaser> dm;
    InMemoryPhoneBook *phoneBook = nullptr;
    std::unique_ptr<TSendComponents> components;
};
