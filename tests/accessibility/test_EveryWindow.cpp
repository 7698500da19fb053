// Every window of the mailer and of the agent, walked widget by widget as assistive technology
// reads it: each says what it shows (support/Accessibility.h has the rule).

#include "addressbook/AddressBook.h"
#include "addressbook/TF_AddGrp.h"
#include "addressbook/TF_AddRec.h"
#include "addressbook/TF_Import.h"
#include "addressbook/TF_Suppression.h"
#include "mailer/TF_Replies.h"
#include "support/MailFolderWriter.h"
#include "agent/AgentWindow.h"
#include "mailer/ScheduleEditor.h"
#include "support/MainWindowFixture.h"
#include "send/SendComponents.h"
#include "mailer/TF_About.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_NewMsgA.h"
#include "mailer/TF_Preview.h"
#include "mailer/TF_Result.h"
#include "mailer/TF_Sign.h"
#include "support/Accessibility.h"
#include "support/InMemoryPhoneBook.h"
#include "widgets/DBGrid.h"
#include "widgets/RecordNavigator.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

class EveryWindow;

struct WindowEntry
{
    const char *name;
    // Opens the window in the state to walk; the main window owns it (the
    // agent's windows are the test's).
    QWidget *(*open)(EveryWindow &);
};

void PrintTo(const WindowEntry &entry, std::ostream *out)
{
    *out << entry.name;
}

class EveryWindow : public MainWindowFixture, public ::testing::WithParamInterface<WindowEntry>
{
public:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        StoreSetup::addGroup(*dm, "Club", {"c@x.org"});
        StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
        folder.writeFile("SIGNATURE/REGARDS.SIG", "Regards\r\n");
        book = std::make_unique<TAddressBook>(*dm);
    }

    TMailerSession::DialUpBackendFactory dialUpBackends() override
    {
        return []() -> std::unique_ptr<DialUpBackend> {
            auto phoneBook = std::make_unique<InMemoryPhoneBook>();
            phoneBook->addEntry("Office");
            phoneBook->addEntry("Home");
            return phoneBook;
        };
    }

    TF_Mdi &mainWindow() { return *mdi; }
    TDM_Databaser &dataModule() { return *dm; }
    TAddressBook &addressBook() { return *book; }
    QString file(const QString &name, const QByteArray &content)
    {
        folder.writeFile(name, content);
        return folder.file(name);
    }

    // The child window that a command of the main window opens.
    QWidget *childOpenedBy(void (TF_Mdi::*command)())
    {
        (mdi.get()->*command)();
        QMdiSubWindow *sub = mdi->mdiArea()->currentSubWindow();
        return sub ? sub->widget() : nullptr;
    }
    template <typename Dialog>
    Dialog *shown(Dialog *dialog)
    {
        dialog->show();
        return dialog;
    }

    // The agent program's window over the same folder, with a schedule entry.
    agent::TF_Agent *agentWindow()
    {
        agentComponents = std::make_unique<TSendComponents>(std::make_unique<InMemoryPhoneBook>());
        TTable &schedule = dm->ta_Agent;
        schedule.Insert();
        schedule.FieldByName("Group").SetAsString("Club");
        schedule.FieldByName("MsgFile").SetAsString(folder.file("MSG/AGENDA.MSG"));
        schedule.FieldByName("Date").SetValue(QDate(2030, 1, 2));
        schedule.FieldByName("Time").SetValue(QTime(9, 30));
        schedule.Post();
        const QString agentFolder = folder.file("agent/");
        QDir().mkpath(agentFolder);
        m_agent = std::make_unique<agent::TF_Agent>(*dm, *agentComponents,
                                                    FileLocations::forAgent(agentFolder, QProcessEnvironment()));
        m_agent->show();
        return m_agent.get();
    }

private:
    std::unique_ptr<TAddressBook> book;
    // Another program's window: this test owns it, and it goes before the
    // components it sends with.
    std::unique_ptr<TSendComponents> agentComponents;
    std::unique_ptr<agent::TF_Agent> m_agent;
};

// The import wizard taken forward to the step with the given box caption;
// "Importing" runs the import to its end.
QWidget *importWizardAt(EveryWindow &t, const QString &step)
{
    auto *w = t.shown(new TF_Import(&t.mainWindow(), t.dataModule(), t.addressBook()));
    // What each step needs before "Next >" leaves it.
    const std::function<void()> fillIn[] = {
        [w] { w->lb_Format->setCurrentRow(TF_Import::FormatDelimited); },
        [w] { w->bu_To->click(); },
        [w, &t] { w->ed_File->setText(t.file("import.txt", "a@x.org,Anna\r\n")); },
        [w] { w->co_Group->setCurrentText("Club"); },
    };
    for (const auto &fill : fillIn) {
        if (w->CurrentStep()->title() == step)
            break;
        fill();
        w->bu_Next->click();
    }
    EXPECT_EQ(w->CurrentStep()->title(), step);
    return w;
}

const WindowEntry kWindows[] = {
    {"MainWindow", [](EveryWindow &t) -> QWidget * { return &t.mainWindow(); }},
    {"MainWindowWithEveryChild",
     [](EveryWindow &t) -> QWidget * {
         t.mainWindow().NetworkSettings1Click();
         t.mainWindow().Editgroups1Click();
         t.mainWindow().Editsignature1Click();
         t.mainWindow().Groupsend1Click();
         t.mainWindow().AgentSchedule1Click();
         t.mainWindow().Suppression1Click();
         t.mainWindow().ProcessReplies1Click();
         return &t.mainWindow();
     }},
    {"About", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_About(&t.mainWindow())); }},
    {"NetworkSettings", [](EveryWindow &t) { return t.childOpenedBy(&TF_Mdi::NetworkSettings1Click); }},
    {"GroupEditor", [](EveryWindow &t) { return t.childOpenedBy(&TF_Mdi::Editgroups1Click); }},
    {"AddGroup", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_AddGrp(&t.mainWindow(), t.addressBook(), false)); }},
    {"ModifyGroup", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_AddGrp(&t.mainWindow(), t.addressBook(), true)); }},
    {"AddRecipient", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_AddRec(&t.mainWindow(), t.addressBook(), false)); }},
    {"ModifyRecipient", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_AddRec(&t.mainWindow(), t.addressBook(), true)); }},
    {"ImportFormatStep", [](EveryWindow &t) { return importWizardAt(t, "Select import format"); }},
    {"ImportOrderStep", [](EveryWindow &t) { return importWizardAt(t, "Comma delimited file format"); }},
    {"ImportFileStep", [](EveryWindow &t) { return importWizardAt(t, "Select import file"); }},
    {"ImportGroupStep", [](EveryWindow &t) { return importWizardAt(t, "Select group"); }},
    {"ImportFinished", [](EveryWindow &t) { return importWizardAt(t, "Importing"); }},
    {"SignatureList", [](EveryWindow &t) { return t.childOpenedBy(&TF_Mdi::Editsignature1Click); }},
    {"SignatureEditor", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_Sign(&t.mainWindow())); }},
    {"MessageWindow", [](EveryWindow &t) { return t.childOpenedBy(&TF_Mdi::Groupsend1Click); }},
    {"MessageWindowWithALoadedMessage",
     [](EveryWindow &t) -> QWidget * {
         auto *message = static_cast<TF_NewMsg *>(t.childOpenedBy(&TF_Mdi::Groupsend1Click));
         const QString attachment = t.file("notes.txt", "notes\r\n");
         const QString saved = t.file("MSG/AGENDA.MSG", "Hello\r\n<END OF MESSAGE>\r\nFriends\r\nREGARDS\r\n"
                                                          + attachment.toUtf8() + ";\r\nAgenda\r\n");
         message->chooseOpenFile = [saved](const QString &) { return saved; };
         message->bu_LaddaClick();
         EXPECT_EQ(message->Label4->text(), "Attached file(s): 1");
         return message;
     }},
    {"AttachmentPicker",
     [](EveryWindow &t) -> QWidget * {
         auto *picker = new TF_NewMsgA(&t.mainWindow());
         picker->setAttachments({t.file("notes.txt", "notes\r\n")});
         return t.shown(picker);
     }},
    {"Preview",
     [](EveryWindow &t) -> QWidget * {
         return t.shown(new TF_Preview(&t.mainWindow(), t.dataModule(),
                                       {"Friends", "Hi {{Name}}", {}, {"Dear {{Name}},"}},
                                       [](const TDraftMessage &, const TTestSend &) {}));
     }},
    {"PreviewOfAGroupWithoutMembers",
     [](EveryWindow &t) -> QWidget * {
         StoreSetup::addGroup(t.dataModule(), "Nobody", {});
         return t.shown(new TF_Preview(&t.mainWindow(), t.dataModule(), {"Nobody", "Hi", {}, {"Hi"}},
                                       [](const TDraftMessage &, const TTestSend &) {}));
     }},
    {"AddRecipientWithFields",
     [](EveryWindow &t) -> QWidget * {
         auto *dialog = new TF_AddRec(&t.mainWindow(), t.addressBook(), true);
         dialog->setFields({{"Town", "Lund"}, {"Number", "4"}});
         return t.shown(dialog);
     }},
    {"Results", [](EveryWindow &t) -> QWidget * { return t.shown(new TF_Result(&t.mainWindow(), {"220 ready", "QUIT"})); }},
    {"Schedule", [](EveryWindow &t) { return t.childOpenedBy(&TF_Mdi::AgentSchedule1Click); }},
    {"ScheduleWithACellBeingEdited",
     [](EveryWindow &t) -> QWidget * {
         auto *schedule = static_cast<mailer::TF_Agent *>(t.childOpenedBy(&TF_Mdi::AgentSchedule1Click));
         t.mainWindow().AgentNavigator()->BtnClick(TDBNavigator::nbInsert);
         schedule->gr_Agent->edit(schedule->gr_Agent->model()->index(0, 0));
         EXPECT_NE(schedule->gr_Agent->viewport()->findChild<QComboBox *>(), nullptr);
         return schedule;
     }},
    {"Agent", [](EveryWindow &t) -> QWidget * { return t.agentWindow(); }},
    {"AgentTrayMenu",
     [](EveryWindow &t) -> QWidget * {
         QMenu *menu = t.agentWindow()->TrayMenu();
         menu->popup(QPoint(20, 20));
         return menu;
     }},
    {"SuppressionList",
     [](EveryWindow &t) -> QWidget * {
         auto *w = static_cast<TF_Suppression *>(t.childOpenedBy(&TF_Mdi::Suppression1Click));
         w->mo_Add->setPlainText("gone@x.org a@x.org");
         w->bu_Add->click();
         return w;
     }},
    {"ProcessRepliesWithWhatItFound",
     [](EveryWindow &t) -> QWidget * {
         auto *w = static_cast<TF_Replies *>(t.childOpenedBy(&TF_Mdi::ProcessReplies1Click));
         w->ed_Folder->setText(t.file("Inbox", MailFolderWriter::mbox({MailFolderWriter::bounce("c@x.org"),
                                                                      MailFolderWriter::bounce("z@x.org")})));
         w->bu_Read->click();
         EXPECT_TRUE(waitFor([w] { return !w->Reading(); }));
         EXPECT_EQ(w->gr_Found->rowCount(), 1);
         return w;
     }},
    // New windows join here.
};

TEST_P(EveryWindow, SaysWhatItShows)
{
    QWidget *window = GetParam().open(*this);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return window->isVisible(); }));
    EXPECT_TRUE(prompts.shown().isEmpty()) << "opening the window asked: " << prompts.texts().join(" | ").toStdString();
    expectAccessibleNames(window);
}

INSTANTIATE_TEST_SUITE_P(Mailer, EveryWindow, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowEntry> &info) { return std::string(info.param.name); });

}
