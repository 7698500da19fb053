#include "addressbook/AddressImport.h"
#include "store/Database.h"
#include "store/RecipientFields.h"
#include "support/FailingDevice.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using Recipients = QList<TImportRecipient>;

TImportLayout delimited(const QStringList &order, const QString &delimiter = ",")
{
    return TAddressImport::DelimitedLayout(order, delimiter);
}

TEST(AddressTokens, PicksOutWhatHoldsAnAtSignAndKeepsItAsWritten)
{
    EXPECT_EQ(TAddressImport::AddressTokens("Hello ann@x.org, and then bob@y.org thanks"),
              QStringList({"ann@x.org", "bob@y.org"}));
    EXPECT_EQ(TAddressImport::AddressTokens("<ann@x.org> mailto:bob@y.org"),
              QStringList({"<ann@x.org>", "mailto:bob@y.org"}));
    EXPECT_EQ(TAddressImport::AddressTokens("write @ us"), QStringList{"@"});
    EXPECT_EQ(TAddressImport::AddressTokens("a@x.org\tb@y.org;c@z.org"), QStringList{"a@x.org\tb@y.org;c@z.org"})
        << "neither tab nor semicolon ends a token";
    EXPECT_EQ(TAddressImport::AddressTokens(QString("\"a@x\"#b@y") + QChar(0) + "c@z,,"),
              QStringList({"a@x", "b@y", "c@z"}));
    EXPECT_TRUE(TAddressImport::AddressTokens("no address here").isEmpty());
}

TEST(DelimitedField, FieldsAcrossTheWholeLine)
{
    EXPECT_EQ(TAddressImport::DelimitedField("a;b;c", ";", 1), "a");
    EXPECT_EQ(TAddressImport::DelimitedField("a;b;c", ";", 3), "c");
    EXPECT_EQ(TAddressImport::DelimitedField("a;b;c", ";", 4), "");
    EXPECT_EQ(TAddressImport::DelimitedField("a;;c", ";", 2), "");
    EXPECT_EQ(TAddressImport::DelimitedField("only", ",", 1), "only");
    EXPECT_EQ(TAddressImport::DelimitedField("only", ",", 2), "");
    EXPECT_EQ(TAddressImport::DelimitedField("a,b", "", 1), "a,b") << "no delimiter: the line is field 1";
    EXPECT_EQ(TAddressImport::DelimitedField("a,b", "", 2), "");
    const QString far(300, u'n');
    EXPECT_EQ(TAddressImport::DelimitedField(far + ",x," + far + ",last@x.org", ",", 4), "last@x.org")
        << "no limit of 255 characters";
}

TEST(ImportLines, FreeTextAndEachDelimitedOrder)
{
    const TImportLayout freeText;
    EXPECT_EQ(TAddressImport::Recipients("Mail ann@x.org, or bob@y.org today", freeText),
              Recipients({{"Unknown", "ann@x.org"}, {"Unknown", "bob@y.org"}}));

    const QString email = TAddressImport::EmailField;
    const QString name = TAddressImport::NameField;
    EXPECT_EQ(TAddressImport::Recipients("ann@x.org;Ann Smith", delimited({email, name}, ";")),
              Recipients({{"Ann Smith", "ann@x.org"}}));
    EXPECT_TRUE(TAddressImport::Recipients("Ann Smith", delimited({name, email})).isEmpty())
        << "a name-only line has an empty email field";
    EXPECT_EQ(TAddressImport::Recipients("Ann,anything", delimited({name})), Recipients({{"Ann", "Unknown"}}));
    EXPECT_EQ(TAddressImport::Recipients("ann@x.org,Ann", delimited({email})), Recipients({{"Unknown", "ann@x.org"}}));
    EXPECT_EQ(TAddressImport::Recipients("Ann,a@x.org b@y.org", delimited({name, email})),
              Recipients({{"Ann", "a@x.org"}, {"Ann", "b@y.org"}}));
    EXPECT_EQ(TAddressImport::Recipients(",a@x.org", delimited({name, email})), Recipients({{"", "a@x.org"}}))
        << "the name field is taken as it is, also empty";
    EXPECT_TRUE(TAddressImport::Recipients("", delimited({name})).isEmpty());
}

TEST(DelimitedFields, QuotedValuesAsSpreadsheetsWriteThem)
{
    EXPECT_EQ(TAddressImport::DelimitedFields(R"("Smith; Ann";"say ""hi""";plain;"")", ";"),
              QStringList({"Smith; Ann", R"(say "hi")", "plain", ""}));
    EXPECT_EQ(TAddressImport::DelimitedFields(R"(a"b;"open)", ";"), QStringList({R"(a"b)", "open"}))
        << "a quote inside a field is kept; an open quote runs to the line's end";
    EXPECT_EQ(TAddressImport::DelimitedFields("a;b;", ";"), QStringList({"a", "b", ""}));
}

TEST(HeaderLayout, NamesTheColumnsOfAFirstLine)
{
    const TImportLayout layout = TAddressImport::HeaderLayout(
        R"(E-MAIL;name;Town;;town;"First Name";customer;Name)", ";", {"Customer", "Zip"});
    EXPECT_EQ(layout.format, TImportFormat::CommaDelimited);
    EXPECT_EQ(layout.emailPosition, 1);
    EXPECT_EQ(layout.namePosition, 2) << "the first column of a name wins";
    EXPECT_EQ(layout.fields, (QList<std::pair<int, QString>>{{3, "Town"}, {6, "First Name"}, {7, "Customer"}}))
        << "an empty name and a name twice are left out; a known field keeps the store's spelling";

    EXPECT_EQ(TAddressImport::Recipients(R"(ann@x.org;"Ann, Å";Lund;skip;Ystad;;7)", layout),
              Recipients({{"Ann, Å", "ann@x.org", {{"Town", "Lund"}, {"Customer", "7"}}}}))
        << "empty values are no fields";
    EXPECT_EQ(TAddressImport::HeaderLayout("Email Address", ",", {}).emailPosition, 1);
}

TEST(ImportLines, FurtherFieldsOfAStatedOrder)
{
    const TImportLayout layout = delimited({"Town", TAddressImport::EmailField, TAddressImport::NameField});
    EXPECT_EQ(layout.fields, (QList<std::pair<int, QString>>{{1, "Town"}}));
    EXPECT_EQ(TAddressImport::Recipients("Lund,a@x.org b@y.org,Ann", layout),
              Recipients({{"Ann", "a@x.org", {{"Town", "Lund"}}}, {"Ann", "b@y.org", {{"Town", "Lund"}}}}));
}

class AddressImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Other", {"other@x.org"});
        StoreSetup::addGroup(*dm, "Friends", {"ann@x.org"});
        import = std::make_unique<TAddressImport>(*dm);
    }

    // Runs the import into the current group over devices on content; the
    // reading pass fails after failAfter bytes.
    void run(const QByteArray &content, qint64 failAfter = -1)
    {
        int opened = 0;
        TAddressImport::OpenFile open = [&]() -> std::unique_ptr<QIODevice> {
            const bool reading = ++opened == 2;
            return std::make_unique<FailingDevice>(content, reading && failAfter >= 0 ? failAfter : content.size());
        };
        import->Run(settings, open, progress);
    }
    void runFile(const QString &name, const QByteArray &content)
    {
        folder.writeFile(name, content);
        import->Run(settings, TAddressImport::FileOpener(folder.file(name)), progress);
    }

    QStringList column(const QString &field, const QString &group = "Friends")
    {
        return StoreSetup::column(*dm, field, group);
    }
    int members(const QString &group = "Friends")
    {
        TQuery q(&dm->Databas);
        q.AddSQL("SELECT Members FROM GROUPS WHERE Grupp = :g");
        q.SetParam("g", group);
        q.Open();
        return q.Fields(0).AsInteger();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TAddressImport> import;
    TImportSettings settings;
    TAddressImport::Progress progress{[](qint64) {}, [](qint64) {}};
};

TEST_F(AddressImportTest, ImportsIntoTheChosenGroupWithNumbersPictureAndCount)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    EXPECT_FALSE(import->ChooseGroup("friends")) << "group names match exactly";
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    settings.picture = "MAIL";
    qint64 counted = -1;
    qint64 lastRead = -1;
    progress.counted = [&](qint64 lines) { counted = lines; };
    progress.linesRead = [&](qint64 lines) { lastRead = lines; };
    run("Mail bob@y.org, or <cid@z.org>\r\nno address\r\n\r\n\"Dora\" dora@w.org");

    EXPECT_EQ(counted, 4);
    EXPECT_EQ(lastRead, 4);
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "bob@y.org", "<cid@z.org>", "dora@w.org"}));
    EXPECT_EQ(column("Name").mid(1), QStringList({"Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(column("Picture").mid(1), QStringList({"MAIL", "MAIL", "MAIL"}));
    EXPECT_EQ(column("Unikt"), QStringList({"2", "3", "4", "5"})) << "numbers go on from the counter";
    EXPECT_EQ(dm->TakeRecipientNumbers(0), 6) << "and the counter knows they are taken";
    EXPECT_EQ(members(), 4);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 4);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 4) << "the recipient table shows the new rows";
    EXPECT_EQ(column("Email", "Other"), QStringList{"other@x.org"});
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(AddressImportTest, ASpreadsheetExportImportsWithItsFields)
{
    // Column names first, semicolons, UTF-8 with a byte-order mark, quoted
    // values and accented names, as a spreadsheet saves a list.
    TRecipientFields(dm->Databas).Write(999, {{"TOWN", "known"}});
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    settings.layout = delimited({}, ";");
    settings.headerLine = true;
    QByteArray file = "\xEF\xBB\xBF" "Name;E-mail;Town;\"First name\"\r\n";
    for (int i = 0; i < 1000; ++i)
        file += QStringLiteral("\"Åkesson, Björn %1\";b%1@x.org;%2;Zoë\r\n").arg(i).arg(i % 2 ? "Malmö" : "").toUtf8();
    run(file);

    const QStringList names = column("Name");
    ASSERT_EQ(names.size(), 1001);
    EXPECT_EQ(names[1], "Åkesson, Björn 0");
    EXPECT_EQ(column("Email")[1000], "b999@x.org");
    EXPECT_EQ(members(), 1001);
    const QStringList numbers = column("Unikt");
    TRecipientFields fields(dm->Databas);
    EXPECT_EQ(fields.Read(numbers[1].toInt()), TRecipientFields::Values({{"First name", "Zoë"}}));
    EXPECT_EQ(fields.Read(numbers[2].toInt()), TRecipientFields::Values({{"First name", "Zoë"}, {"TOWN", "Malmö"}}))
        << "the store's spelling of a field it knows";
    EXPECT_EQ(fields.Names(), QStringList({"First name", "TOWN"}));
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(AddressImportTest, ALineThatFailsTakesItsFieldsWithIt)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    settings.layout = delimited({TAddressImport::EmailField, "Town"}, ";");
    // The store refuses one field: the recipient of its line goes too.
    StoreSetup::otherProgram(folder, "CREATE TRIGGER refuse BEFORE INSERT ON RecipientField WHEN NEW.Value = 'Ystad' "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    run("a@x.org;Lund\nb@x.org;Ystad\nc@x.org;Umeå\n");
    EXPECT_EQ(prompts.texts(), QStringList{"Error while importing email addresses"});
    const QStringList numbers = column("Unikt");
    ASSERT_EQ(numbers.size(), 3);
    TRecipientFields fields(dm->Databas);
    EXPECT_EQ(fields.Read(numbers[1].toInt()), TRecipientFields::Values({{"Town", "Lund"}}));
    EXPECT_EQ(fields.Read(numbers[2].toInt()), TRecipientFields::Values({{"Town", "Umeå"}}));
    TQuery q(&dm->Databas);
    q.AddSQL("SELECT COUNT(*) FROM RecipientField");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 2);
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "a@x.org", "c@x.org"}));
}

TEST_F(AddressImportTest, SkipsAddressesTheGroupHoldsAndRepeatsOfTheFile)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    settings.skipExisting = true;
    run("ann@x.org ANN@x.org\nbob@y.org other@x.org\nbob@y.org bob@y.org");
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "ANN@x.org", "bob@y.org", "other@x.org"}))
        << "exact and case-sensitive, within this group only";
    EXPECT_EQ(members(), 4);

    // Names alone have no address to compare: every line adds its row.
    settings.layout = delimited({TAddressImport::NameField});
    run("Eve\nEve");
    EXPECT_EQ(column("Name").mid(4), QStringList({"Eve", "Eve"}));

    settings.skipExisting = false;
    settings.layout = TImportLayout();
    run("ann@x.org");
    EXPECT_EQ(column("Email").count("ann@x.org"), 2) << "without the box every address is imported";
}

TEST_F(AddressImportTest, ReadsWindows1252AndUtf8WithMarkAndLineEnds)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    settings.layout = delimited({TAddressImport::NameField, TAddressImport::EmailField}, ";");
    runFile("latin.txt", "G\xF6ran \x80;goran@x.se\r\nZo\xEB;zoe@x.nl\n");
    runFile("utf8.txt", "\xEF\xBB\xBFJ\xC3\xBCrgen;j@x.de\r\n");
    EXPECT_EQ(column("Name").mid(1), QStringList({QString::fromUtf8("G\xC3\xB6ran \xE2\x82\xAC"),
                                                  QString::fromUtf8("Zo\xC3\xAB"), QString::fromUtf8("J\xC3\xBCrgen")}));
    EXPECT_EQ(column("Email").mid(1), QStringList({"goran@x.se", "zoe@x.nl", "j@x.de"}));
}

TEST_F(AddressImportTest, FileThatBreaksOffKeepsWhatWasImported)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    const QByteArray content = "bob@y.org\ncid@z.org\ndora@w.org\n";
    run(content, 14);
    EXPECT_EQ(prompts.texts(), QStringList{"Couldn't open importfile!"});
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "bob@y.org"}));
    EXPECT_EQ(members(), 2);

    int opened = 0;
    import->Run(settings,
                [&]() -> std::unique_ptr<QIODevice> {
                    ++opened;
                    return std::make_unique<FailingDevice>(content, 3);
                },
                progress);
    EXPECT_EQ(opened, 1) << "a file that cannot be counted is not read again";
    EXPECT_EQ(prompts.texts().size(), 2);
    EXPECT_EQ(members(), 2);

    import->Run(settings, TAddressImport::FileOpener(folder.file("absent.txt")), progress);
    EXPECT_EQ(prompts.texts().last(), "Couldn't open importfile!");
}

// Checks, whenever the run lets anyone look, that Members is the group's
// number of rows for this program and for another one, and that no
// transaction holds the store.
class LookingUser : public ScriptedPrompts
{
public:
    LookingUser(TDM_Databaser &dm, const TempProgramFolder &folder) : m_dm(dm)
    {
        m_other.Params = {"path=" + folder.file("DATA")};
        m_other.Open();
    }
    PromptAnswer show(PromptKind kind, const QString &text, PromptButtons buttons) override
    {
        look();
        return ScriptedPrompts::show(kind, text, buttons);
    }
    void look()
    {
        ++looks;
        EXPECT_FALSE(m_dm.Databas.InTransaction());
        const int shown = m_dm.ta_Group.FieldByName("Members").AsInteger();
        EXPECT_EQ(shown, count(m_dm.Databas, "SELECT COUNT(*) FROM EMAILS WHERE Grupp = 'Friends'"));
        EXPECT_EQ(shown, count(m_other, "SELECT COUNT(*) FROM EMAILS WHERE Grupp = 'Friends'"));
        EXPECT_EQ(shown, count(m_other, "SELECT Members FROM GROUPS WHERE Grupp = 'Friends'"));
    }
    int looks = 0;

private:
    static int count(TDatabase &db, const char *sql)
    {
        TQuery q(&db);
        q.AddSQL(sql);
        q.Open();
        return q.Fields(0).AsInteger();
    }
    TDM_Databaser &m_dm;
    TDatabase m_other;
};

TEST_F(AddressImportTest, LinesThatFailAreReportedOnceAndTheRestGoesIn)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    LookingUser user(*dm, folder);
    progress.linesRead = [&](qint64) { user.look(); };
    // The store refuses one address, as a full disk or a constraint would.
    StoreSetup::otherProgram(folder, "CREATE TRIGGER refuse BEFORE INSERT ON EMAILS WHEN NEW.Email = 'bad@x.org' "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    run("b1@x.org\nbad@x.org\nb2@x.org b3@x.org\nc1@x.org bad@x.org\nd1@x.org");
    EXPECT_EQ(user.texts(),
              QStringList({"Error while importing email addresses", "Error while importing email addresses"}));
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "b1@x.org", "b2@x.org", "b3@x.org", "d1@x.org"}))
        << "a failing line adds none of its addresses";
    EXPECT_EQ(members(), 5);
    EXPECT_GE(user.looks, 3);
}

TEST_F(AddressImportTest, FailureThatLosesTheTransactionKeepsTheLinesBeforeIt)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    settings.skipExisting = true;
    LookingUser user(*dm, folder);
    StoreSetup::otherProgram(folder, "CREATE TRIGGER lose BEFORE INSERT ON EMAILS WHEN NEW.Email = 'lost@x.org' "
                                     "BEGIN SELECT RAISE(ROLLBACK, 'gone'); END;");
    run("b1@x.org\nb2@x.org\nlost@x.org\nb1@x.org c1@x.org");
    EXPECT_EQ(user.texts(), QStringList{"Error while importing email addresses"});
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "b1@x.org", "b2@x.org", "c1@x.org"}));
    EXPECT_EQ(column("Unikt"), QStringList({"2", "3", "4", "5"}));
    EXPECT_EQ(members(), 4);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 4);
}

TEST_F(AddressImportTest, TheDomainIsComparedWithoutCaseTheLocalPartAsTyped)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    StoreSetup::addGroup(*dm, "Work", {"Bob@Example.com"});
    settings.skipExisting = true;
    run("bob@example.com Bob@example.COM\nBob@EXAMPLE.com bob@EXAMPLE.com");
    EXPECT_EQ(column("Email", "Work"), QStringList({"Bob@Example.com", "bob@example.com"}))
        << "another case of the domain is the same address; of the local part, another one";
    EXPECT_EQ(members("Work"), 2);
}

// Files from the classic Mac end their lines with a CR alone; a NUL between
// two addresses (a file from a program that pads its fields) separates them.
TEST_F(AddressImportTest, LinesEndAtALoneCrAndNulSeparatesAddresses)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    qint64 counted = -1;
    progress.counted = [&](qint64 lines) { counted = lines; };
    run(QByteArray("b1@x.org\rb2@x.org\r\rb3@x.org\r\nb4@x.org") + '\0' + "b5@x.org\r");
    EXPECT_EQ(counted, 5);
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "b1@x.org", "b2@x.org", "b3@x.org", "b4@x.org", "b5@x.org"}));

    settings.layout = delimited({TAddressImport::NameField, TAddressImport::EmailField}, ";");
    run(QByteArray("Ann") + '\0' + "Lee;a1@x.org" + '\0' + "a2@x.org");
    EXPECT_EQ(column("Name").mid(6), QStringList({"Ann Lee", "Ann Lee"})) << "no NUL is stored in a name";
    EXPECT_EQ(column("Email").mid(6), QStringList({"a1@x.org", "a2@x.org"}));
    EXPECT_EQ(members(), 8);
}

// One line of more addresses than the values one statement may bind, with
// the bound that many builds of the engine keep.
TEST_F(AddressImportTest, ALineOfTwentyThousandAddressesGoesInWhole)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    sqlite3_limit(dm->Databas.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, 999);
    QByteArray line;
    for (int i = 0; i < 20000; ++i)
        line += "m" + QByteArray::number(i) + "@x.org ";
    run(line + "\nlast@x.org");
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.texts().join(" | ").toStdString();
    const QStringList emails = column("Email");
    ASSERT_EQ(emails.size(), 20002);
    EXPECT_EQ(emails[1], "m0@x.org");
    EXPECT_EQ(emails[20000], "m19999@x.org");
    EXPECT_EQ(emails.last(), "last@x.org");
    EXPECT_EQ(members(), 20002);
    EXPECT_EQ(column("Unikt")[20001].toInt(), 20003) << "every row its own number";
}

// A line whose rows need more than one statement still goes in whole or not
// at all when the store refuses one of its rows.
TEST_F(AddressImportTest, ALongLineThatFailsLateAddsNoneOfItsAddresses)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    StoreSetup::otherProgram(folder, "CREATE TRIGGER refuse BEFORE INSERT ON EMAILS WHEN NEW.Email = 'bad@x.org' "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    QByteArray line;
    for (int i = 0; i < 1500; ++i)
        line += "m" + QByteArray::number(i) + "@x.org ";
    run("first@x.org\n" + line + "bad@x.org\nnext@x.org");
    EXPECT_EQ(prompts.texts(), QStringList{"Error while importing email addresses"});
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", "first@x.org", "next@x.org"}));
    EXPECT_EQ(members(), 3);
}

TEST_F(AddressImportTest, TextsTooLongForTheStoreAreRefusedNeverCut)
{
    ASSERT_TRUE(import->ChooseGroup("Friends"));
    const QByteArray longest = QByteArray(245, 'l') + "@x.org.se";
    ASSERT_EQ(longest.size(), 254);
    settings.layout = delimited({TAddressImport::NameField, TAddressImport::EmailField});
    run("Max," + longest + "\nMore," + QByteArray(246, 'l') + "@x.org.se\n" + QByteArray(31, 'n')
        + ",name@x.org\nLast,last@x.org");
    EXPECT_EQ(prompts.texts(),
              QStringList({"Error while importing email addresses", "Error while importing email addresses"}));
    EXPECT_EQ(column("Email"), QStringList({"ann@x.org", QString::fromLatin1(longest), "last@x.org"}))
        << "the longest address whole; the longer one and the long name not at all";
}

}
