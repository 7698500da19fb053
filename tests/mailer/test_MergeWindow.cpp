#include "support/MainWindowFixture.h"
#include "support/MimeCheck.h"
#include "support/RealSmtpServer.h"

#include "addressbook/AddressBook.h"
#include "addressbook/TF_Import.h"
#include "mailer/TF_Preview.h"
#include "store/RecipientFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Placeholders as a new user meets them: a list exported from a spreadsheet
// imported with its fields, the message window's preview of a member's text
// and its test send, and the run through the window to a real server where
// every member's message carries exactly that member's values.

namespace {

class MergeWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(smtp.start()) << smtp.error().toStdString();
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=" + QByteArray::number(TDM_Databaser::RequiredVersion)
                                           + "\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(smtp.port())
                                           + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n");
        session->LoadSettings();
        StoreSetup::addGroup(*dm, "Members", {});
    }

    // The spreadsheet's list imported into "Members" through the import
    // wizard, its first line naming the columns.
    void import(const QByteArray &file)
    {
        folder.writeFile("export.csv", file);
        TAddressBook book(*dm);
        TF_Import wizard(mdi.get(), *dm, book);
        wizard.show();
        wizard.lb_Format->setCurrentRow(TF_Import::FormatDelimited);
        wizard.bu_Next->click();
        wizard.ch_Header->setChecked(true);
        wizard.ed_Delimiter->setText(";");
        wizard.bu_Next->click();
        wizard.ed_File->setText(folder.file("export.csv"));
        wizard.bu_Next->click();
        wizard.co_Group->setCurrentText("Members");
        wizard.bu_Next->click();
        ASSERT_TRUE(wizard.la_Finish->isVisible());
    }

    TF_NewMsg *compose(const QString &subject, const QString &text)
    {
        TF_NewMsg *message = openMessageTo("Members");
        if (!message)
            return nullptr;
        waitFor([&] { return message->co_Signature->count() > 0; });
        message->e_subject->setText(subject);
        message->mo_Message->setPlainText(text);
        return message;
    }

    QList<RealSmtpServer::Received> waitForMessages(int count, int timeoutMs = 20000)
    {
        waitFor([&] { return smtp.messages().size() >= count; }, timeoutMs);
        return smtp.messages();
    }

    RealSmtpServer smtp;
};

TEST_F(MergeWindowTest, ThePreviewStepsThroughMembersAndTheTestSendReachesTheSender)
{
    import("\xEF\xBB\xBF"
           "Name;Email;Town\r\n"
           "Åsa Öberg;asa@example.org;Göteborg\r\nBo Ek;bo@example.org;\r\nCécile Zoë;cecile@example.org;Malmö\r\n");
    TF_NewMsg *message = compose("Hej {{Name}}", "Hello {{Name}} in {{Town|Sweden}}!");
    ASSERT_NE(message, nullptr);

    QStringList seen;
    bool resultsShown = false;
    whenModal<TF_Preview>([&](TF_Preview &preview) {
        EXPECT_EQ(preview.windowTitle(), "Preview");
        seen.append(preview.la_Member->text() + " | " + preview.e_PreviewSubject->text() + " | "
                    + preview.mo_Preview->toPlainText());
        EXPECT_FALSE(preview.bu_Previous->isEnabled());
        preview.bu_Next->click();
        seen.append(preview.la_Member->text() + " | " + preview.mo_Preview->toPlainText());
        preview.bu_Next->click();
        seen.append(preview.la_Member->text() + " | " + preview.e_PreviewSubject->text() + " | "
                    + preview.mo_Preview->toPlainText());
        EXPECT_FALSE(preview.bu_Next->isEnabled()) << "the last member";
        EXPECT_TRUE(preview.bu_Previous->isEnabled());
        EXPECT_TRUE(preview.ch_TestMark->isChecked());
        whenModal<TF_Result>(
            [&](TF_Result &results) {
                resultsShown = true;
                results.accept();
            },
            20000);
        preview.bu_SendTest->click();
        waitFor([&] { return resultsShown; }, 20000);
        preview.bu_Close->click();
    });
    button("bu_Preview")->click();
    EXPECT_EQ(seen,
              QStringList({"Member 1 of 3: Åsa Öberg <asa@example.org> | Hej Åsa Öberg | Hello Åsa Öberg in Göteborg!",
                           "Member 2 of 3: Bo Ek <bo@example.org> | Hello Bo Ek in Sweden!",
                           "Member 3 of 3: Cécile Zoë <cecile@example.org> | Hej Cécile Zoë | "
                           "Hello Cécile Zoë in Malmö!"}));
    ASSERT_TRUE(resultsShown);
    const QList<RealSmtpServer::Received> messages = waitForMessages(1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].rcptTos, QStringList({"ann@example.org"}));
    const ParsedMessage parsed = parseWithPython(messages[0].data);
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.subject, "[Test] Hej Cécile Zoë");
    EXPECT_EQ(parsed.parts.value(0).text, "Hello Cécile Zoë in Malmö!\r\n");
    EXPECT_EQ(mdi->F_NewMsg.data(), message) << "the message window stays for the real send";
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled());
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(MergeWindowTest, NoInTheBoxBringsTheMessageBackUnsent)
{
    import("Name;Email;Town\r\nÅsa;asa@example.org;Lund\r\nBo;bo@example.org;\r\n");
    ASSERT_NE(compose("News", "Hello {{Name}} in {{Twon}}"), nullptr);
    prompts.answer(PromptAnswer::No);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return mdi->F_NewMsg && mdi->F_NewMsg->isVisible(); }));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].startsWith("Before the message goes to the group \"Members\":\n\n"
                                              "No member of the group has the field \"Twon\" (2 members)."))
        << prompts.texts()[0].toStdString();
    EXPECT_EQ(mdi->F_NewMsg->mo_Message->toPlainText(), "Hello {{Name}} in {{Twon}}") << "as the user left it";
    EXPECT_EQ(mdi->F_NewMsg->co_Group->currentText(), "Members");
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled());
    EXPECT_TRUE(smtp.messages().isEmpty());
}

TEST_F(MergeWindowTest, AThousandImportedMembersEachReadTheirOwnValuesWithDefaultsWhereEmpty)
{
    // Column names first, semicolons, UTF-8 with a byte-order mark, accented
    // names and a quoted value, as a spreadsheet saves a list.
    QByteArray file = "\xEF\xBB\xBF"
                      "Name;E-mail;Town;Number\r\n";
    for (int i = 1; i <= 1000; ++i)
        file += QStringLiteral("\"Åkesson, Zoë %1\";m%1@example.org;%2;%3\r\n")
                    .arg(i)
                    .arg(i % 3 ? QStringLiteral("Malmö %1").arg(i) : QString())
                    .arg(i == 500 ? QString() : QString::number(i * 7))
                    .toUtf8();
    import(file);
    ASSERT_EQ(dm->MemberCount("Members"), 1000);
    ASSERT_NE(compose("{{Town|Sweden}} news for {{name}}", "Dear {{Name}},\nyour number: {{Number}}.\n"
                                                           "Town: {{TOWN|none given}}"),
              nullptr);

    // Member 500 has no number and that placeholder no default: told first.
    prompts.answer(PromptAnswer::Yes);
    QStringList results;
    whenModal<TF_Result>(
        [&](TF_Result &dialog) {
            results = dialog.mo_Result->toPlainText().split('\n');
            dialog.accept();
        },
        120000);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return !results.isEmpty(); }, 120000));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].contains(
        "1 member has no value for \"Number\" and the placeholder has no default: Åkesson, Zoë 500."))
        << prompts.texts()[0].toStdString();

    const QList<RealSmtpServer::Received> messages = waitForMessages(1000, 60000);
    ASSERT_EQ(messages.size(), 1000);
    QList<QByteArray> data;
    for (const RealSmtpServer::Received &message : messages)
        data.append(message.data);
    const QList<ParsedMessage> parsed = parseAllWithPython(data);
    ASSERT_EQ(parsed.size(), 1000);
    int wrong = 0;
    for (int i = 1; i <= 1000 && wrong < 5; ++i) {
        const ParsedMessage &message = parsed[i - 1];
        const QString name = QStringLiteral("Åkesson, Zoë %1").arg(i);
        const QString town = i % 3 ? QStringLiteral("Malmö %1").arg(i) : QString();
        const QString number = i == 500 ? QString() : QString::number(i * 7);
        const QString subject = (town.isEmpty() ? QStringLiteral("Sweden") : town) + " news for " + name;
        const QString text = "Dear " + name + ",\r\nyour number: " + number
                             + ".\r\nTown: " + (town.isEmpty() ? QStringLiteral("none given") : town) + "\r\n";
        const QList<ParsedMessage::Address> to{{name, QStringLiteral("m%1@example.org").arg(i)}};
        const bool right = message.ok && message.headerDefects.isEmpty() && message.subject == subject
                           && message.parts.value(0).text == text && message.toAddresses == to
                           && messages[i - 1].rcptTos == QStringList{to[0].address};
        if (!right) {
            ++wrong;
            ADD_FAILURE() << "member " << i << ": " << message.subject.toStdString() << " / "
                          << message.parts.value(0).text.toStdString() << " / " << message.error.toStdString();
        }
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
