#pragma once

#include "send/GroupSend.h"
#include "send/SendComponents.h"
#include "send/SendStatus.h"
#include "support/InMemoryPhoneBook.h"
#include "support/MockClock.h"
#include "support/ScriptedPrompts.h"
#include "support/ScriptedSmtpServer.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QDate>
#include <functional>
#include <gtest/gtest.h>

// A group send run over the real store, a scripted SMTP server and an
// in-memory phone book, with what it shows recorded.

// Records what the run shows; a test may act when the activity, the member
// count or the member number changes.
class RecordingStatus : public TSendStatus
{
public:
    void setActivity(const QString &text) override
    {
        activity = text;
        activities.append(text);
        if (onActivity)
            onActivity(text);
    }
    void setMemberCount(std::optional<int> count) override
    {
        memberCount = count;
        memberCounts.append(count);
        if (onMemberCount)
            onMemberCount(count);
    }
    void setMemberNumber(std::optional<int> number) override
    {
        memberNumber = number;
        memberNumbers.append(number);
        if (onMemberNumber)
            onMemberNumber(number);
    }
    void setProgressRange(int maximum) override { progressMax = maximum; }
    void setProgressPosition(int position) override { progress = position; }
    void showRunControls(bool shown) override { runControls = shown; }
    void setSendEnabled(bool enabled) override { sendEnabled = enabled; }
    void showResults(const QStringList &log) override { results.append(log); }

    QString activity;
    QStringList activities;
    std::optional<int> memberCount;
    QList<std::optional<int>> memberCounts;
    std::optional<int> memberNumber;
    QList<std::optional<int>> memberNumbers;
    int progressMax = -1;
    int progress = -1;
    bool runControls = false;
    bool sendEnabled = true;
    QList<QStringList> results;
    std::function<void(const QString &)> onActivity;
    std::function<void(std::optional<int>)> onMemberCount;
    std::function<void(std::optional<int>)> onMemberNumber;
};

// The envelope recipients of the server's transactions, in order.
inline QStringList envelopeRecipients(const ScriptedSmtpServer &server)
{
    QStringList result;
    for (const QByteArray &command : server.commands()) {
        if (command.startsWith("RCPT TO:<"))
            result.append(QString::fromLatin1(command.mid(9).chopped(1)));
    }
    return result;
}

// The groups every send test has: "Ten" members m1@x.org to m10@x.org, and
// "Empty".
inline void addSendGroups(TDM_Databaser &dm)
{
    QStringList members;
    for (int i = 1; i <= 10; ++i)
        members.append(QStringLiteral("m%1@x.org").arg(i));
    StoreSetup::addGroup(dm, "Ten", members);
    StoreSetup::addGroup(dm, "Empty", {});
}

class GroupSendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        addSendGroups(*dm);
        settings.FSmtpServer = "127.0.0.1";
        settings.FSmtpPort = server.portText();
        settings.FUserName = "Ann Sender";
        settings.FUserEmail = "ann@x.org";
        phoneBook = new InMemoryPhoneBook;
        components = std::make_unique<TSendComponents>(std::unique_ptr<DialUpBackend>(phoneBook));
        components->Wait1.setInterval(50);
        run = std::make_unique<TGroupSend>(*dm, *components, settings, status);
        run->Connection().ti_Connect.setInterval(10);
    }

    void send(const QString &group, const QStringList &lines = {"Hello"}, const QStringList &attachments = {})
    {
        run->StartConnection({group, "Greetings", attachments, lines});
    }
    int lastMail(const QString &group)
    {
        TQuery q(&dm->Databas);
        q.AddSQL("SELECT LastMail FROM GROUPS WHERE Grupp = :g");
        q.SetParam("g", group);
        q.Open();
        return q.Fields(0).AsInteger();
    }
    void setLastMail(const QString &group, int value)
    {
        TQuery q(&dm->Databas);
        q.AddSQL("UPDATE GROUPS SET LastMail = :v WHERE Grupp = :g");
        q.SetParam("v", value);
        q.SetParam("g", group);
        q.ExecSQL();
    }
    QStringList recipients() { return envelopeRecipients(server); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    ScriptedSmtpServer server;
    std::unique_ptr<TDM_Databaser> dm;
    // Just before midnight: the date a run stamps is the one it started on.
    MockClock clock{QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59))};
    TMailerSettings settings;
    InMemoryPhoneBook *phoneBook = nullptr;
    std::unique_ptr<TSendComponents> components;
    RecordingStatus status;
    std::unique_ptr<TGroupSend> run;
};
