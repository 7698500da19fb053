#include "addressbook/TF_Import.h"

#include "addressbook/GroupLists.h"
#include "addressbook/AddressBook.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"
#include "store/DM_Databaser.h"
#include "store/RecipientFields.h"
#include "widgets/Placement.h"
#include "widgets/Labelling.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QAbstractItemView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {

const QString kClickNextForFile =
    QStringLiteral("Click next to select the file you wich to import email addresses from.");
const QRect kStepPlace(16, 16, 288, 240);

QGroupBox *stepPanel(QWidget *parent, const QString &objectName, const QString &caption)
{
    auto *panel = new QGroupBox(caption, parent);
    panel->setObjectName(objectName);
    panel->setGeometry(kStepPlace);
    panel->hide();
    new QVBoxLayout(panel);
    return panel;
}

QLabel *text(QGroupBox *panel, const QString &caption)
{
    auto *label = new QLabel(caption, panel);
    label->setWordWrap(true);
    panel->layout()->addWidget(label);
    return label;
}

// A control and the label that names it, for the eye and for assistive
// technology alike.
template <typename Control>
Control *named(Control *control, QLabel *label, const QString &objectName)
{
    control->setObjectName(objectName);
    labelControl(label, control);
    return control;
}

QPushButton *button(QWidget *parent, const QString &objectName, const QString &caption, const QString &hint = {})
{
    // A button is named by its caption, which it may change (Cancel becomes
    // OK at the end), so no fixed accessible name is set.
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    if (!hint.isEmpty()) {
        b->setToolTip(hint);
        b->setAccessibleDescription(hint);
    }
    return b;
}

// The chosen entry of a list: its current entry when that is also selected,
// as a list can have a current entry that no one chose.
int chosenRow(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

void moveChosen(QListWidget *from, QListWidget *to)
{
    const int row = chosenRow(from);
    if (row < 0)
        return;
    to->addItem(from->takeItem(row));
    from->setCurrentRow(0);
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

}

TF_Import::TF_Import(QWidget *parent, TDM_Databaser &dataModule, TAddressBook &addressBook)
    : QDialog(parent),
      pa_Step1(stepPanel(this, "pa_Step1", "Select import format")),
      pa_StepComma(stepPanel(this, "pa_StepComma", "Comma delimited file format")),
      pa_StepFile(stepPanel(this, "pa_StepFile", "Select import file")),
      pa_StepGrp(stepPanel(this, "pa_StepGrp", "Select group")),
      pa_StepWork(stepPanel(this, "pa_StepWork", "Importing")),
      bu_Prev(button(this, "bu_Prev", "< Previous")),
      bu_Next(button(this, "bu_Next", "Next >")),
      bu_Cancel(button(this, "bu_Cancel", "Cancel")),
      m_book(addressBook),
      m_import(dataModule)
{
    setObjectName("F_Import");
    setWindowTitle("Email Address import Wizard");
    setFixedSize(320, 311);

    auto *formatLabel = text(pa_Step1, "Select the format of the import file.");
    lb_Format = named(new QListWidget(pa_Step1), formatLabel, "lb_Format");
    lb_Format->addItems({"Unknown format", "Comma delimited List"});
    pa_Step1->layout()->addWidget(lb_Format);
    text(pa_Step1, kClickNextForFile);

    text(pa_StepComma, "What format does the input file follow.");
    auto *fromLabel = new QLabel("Available fields", pa_StepComma);
    lb_From = named(new QListWidget(pa_StepComma), fromLabel, "lb_From");
    lb_From->addItems({TAddressImport::NameField, TAddressImport::EmailField});
    // Beside them, every field some recipient already has.
    lb_From->addItems(TRecipientFields(dataModule.Databas).Names());
    auto *toLabel = new QLabel("Import follow order", pa_StepComma);
    lb_To = named(new QListWidget(pa_StepComma), toLabel, "lb_To");
    bu_To = button(pa_StepComma, "bu_To", ">", "Add the chosen field to the import order");
    bu_Back = button(pa_StepComma, "bu_Back", "<", "Take the chosen field out of the import order");
    for (QPushButton *b : {bu_To, bu_Back})
        b->setFixedWidth(32);
    auto *orderGrid = new QGridLayout;
    orderGrid->addWidget(fromLabel, 0, 0);
    orderGrid->addWidget(toLabel, 0, 2);
    orderGrid->addWidget(lb_From, 1, 0, 2, 1);
    orderGrid->addWidget(bu_To, 1, 1, Qt::AlignBottom);
    orderGrid->addWidget(bu_Back, 2, 1, Qt::AlignTop);
    orderGrid->addWidget(lb_To, 1, 2, 2, 1);
    static_cast<QVBoxLayout *>(pa_StepComma->layout())->addLayout(orderGrid);
    auto *delimiterLabel = new QLabel("Delimiter Char...", pa_StepComma);
    ed_Delimiter = named(new QLineEdit(",", pa_StepComma), delimiterLabel, "ed_Delimiter");
    ed_Delimiter->setMaxLength(1);
    ed_Delimiter->setFixedWidth(32);
    auto *delimiterRow = new QHBoxLayout;
    delimiterRow->addWidget(delimiterLabel);
    delimiterRow->addWidget(ed_Delimiter);
    delimiterRow->addStretch();
    static_cast<QVBoxLayout *>(pa_StepComma->layout())->addLayout(delimiterRow);
    auto *newFieldLabel = new QLabel("New field:", pa_StepComma);
    ed_NewField = named(new QLineEdit(pa_StepComma), newFieldLabel, "ed_NewField");
    bu_NewField = button(pa_StepComma, "bu_NewField", "Add", "Add a new field to the import order");
    auto *newFieldRow = new QHBoxLayout;
    newFieldRow->addWidget(newFieldLabel);
    newFieldRow->addWidget(ed_NewField);
    newFieldRow->addWidget(bu_NewField);
    static_cast<QVBoxLayout *>(pa_StepComma->layout())->addLayout(newFieldRow);
    ch_Header = new QCheckBox("First line holds the column names", pa_StepComma);
    ch_Header->setObjectName("ch_Header");
    pa_StepComma->layout()->addWidget(ch_Header);
    text(pa_StepComma, kClickNextForFile);

    auto *fileLabel = text(pa_StepFile, "This is the file containing the email addresses you wish to import");
    ed_File = named(new QLineEdit(pa_StepFile), fileLabel, "ed_File");
    bu_Browse = button(pa_StepFile, "bu_Browse", QString(), "Browse for file");
    // A glyph without words: the hint names it.
    bu_Browse->setIcon(bu_Browse->style()->standardIcon(QStyle::SP_DirOpenIcon));
    bu_Browse->setAccessibleName("Browse for file");
    bu_Browse->setFixedWidth(32);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(ed_File);
    fileRow->addWidget(bu_Browse);
    static_cast<QVBoxLayout *>(pa_StepFile->layout())->addLayout(fileRow);
    text(pa_StepFile, "Click next to select the Group you wish to import addresses too.");
    static_cast<QVBoxLayout *>(pa_StepFile->layout())->addStretch();

    auto *groupLabel = text(pa_StepGrp, "This is the group where you wish import the email addresses");
    co_Group = named(new QComboBox(pa_StepGrp), groupLabel, "co_Group");
    co_Group->setEditable(true);
    co_Group->lineEdit()->setAccessibleName(groupLabel->text());
    co_Group->view()->setAccessibleName(groupLabel->text());
    pa_StepGrp->layout()->addWidget(co_Group);
    ch_Skip = new QCheckBox("Skip data if already exists", pa_StepGrp);
    ch_Skip->setObjectName("ch_Skip");
    pa_StepGrp->layout()->addWidget(ch_Skip);
    text(pa_StepGrp, "Click next to start the import procedure");
    static_cast<QVBoxLayout *>(pa_StepGrp->layout())->addStretch();

    text(pa_StepWork, "Please wait while importing email addresses");
    auto *workingLabel = text(pa_StepWork, "Working");
    pg_Amazon = named(new QProgressBar(pa_StepWork), workingLabel, "pg_Amazon");
    pg_Amazon->setRange(0, 100);
    pg_Amazon->setValue(0);
    pa_StepWork->layout()->addWidget(pg_Amazon);
    la_Finish = text(pa_StepWork, "Finished. Press OK.");
    la_Finish->setObjectName("la_Finish");
    la_Finish->hide();
    static_cast<QVBoxLayout *>(pa_StepWork->layout())->addStretch();

    const int buttonTop = height() - 25 - 14;
    bu_Prev->setGeometry(16, buttonTop, 88, 25);
    bu_Next->setGeometry(112, buttonTop, 88, 25);
    bu_Cancel->setGeometry(216, buttonTop, 88, 25);
    bu_Prev->setEnabled(false);

    chooseImportFile = [this] {
        QFileDialog dialog(this, QString(), QFileInfo(ed_File->text()).path(), "All files (*)");
        dialog.setFileMode(QFileDialog::ExistingFile);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    connect(bu_Next, &QPushButton::clicked, this, &TF_Import::bu_NextClick);
    connect(bu_Prev, &QPushButton::clicked, this, &TF_Import::bu_PrevClick);
    connect(bu_Cancel, &QPushButton::clicked, this, &TF_Import::reject);
    connect(bu_To, &QPushButton::clicked, this, &TF_Import::bu_ToClick);
    connect(bu_Back, &QPushButton::clicked, this, &TF_Import::bu_BackClick);
    connect(bu_NewField, &QPushButton::clicked, this, &TF_Import::bu_NewFieldClick);
    connect(bu_Browse, &QPushButton::clicked, this, &TF_Import::bu_BrowseClick);

    showStep(pa_Step1);
    centreOnScreen(this);
}

void TF_Import::showStep(QGroupBox *step)
{
    if (m_step)
        m_step->hide();
    m_step = step;
    step->move(kStepPlace.topLeft());
    step->show();
}

void TF_Import::bu_NextClick()
{
    const int format = chosenRow(lb_Format);
    if (format < 0)
        return;
    if (m_step == pa_Step1) {
        if (format == FormatDelimited) {
            showStep(pa_StepComma);
            lb_From->setCurrentRow(0);
        } else {
            showStep(pa_StepFile);
        }
        bu_Prev->setEnabled(true);
    } else if (m_step == pa_StepComma) {
        if (lb_To->count() == 0 && !ch_Header->isChecked()) {
            Prompt::error("You must choose order first!");
            return;
        }
        showStep(pa_StepFile);
    } else if (m_step == pa_StepFile) {
        // A folder is no import file either.
        if (!QFileInfo(ed_File->text()).isFile()) {
            Prompt::error("Can't find importfile!");
            ed_File->setFocus();
            return;
        }
        if (reportErrors([this] { fillGroups(); }))
            showStep(pa_StepGrp);
    } else if (m_step == pa_StepGrp) {
        const QString group = co_Group->currentText();
        bool chosen = false;
        if (!group.isEmpty() && !reportErrors([&] { chosen = m_import.ChooseGroup(group); }))
            return;
        if (!chosen) {
            // The rows would otherwise land in whatever group is current.
            Prompt::error("You must choose a group first!");
            co_Group->setFocus();
            return;
        }
        showStep(pa_StepWork);
        bu_Prev->setEnabled(false);
        bu_Next->setEnabled(false);
        runImport();
    }
}

void TF_Import::bu_PrevClick()
{
    if (m_step == pa_StepComma) {
        showStep(pa_Step1);
        bu_Prev->setEnabled(false);
    } else if (m_step == pa_StepFile) {
        if (chosenRow(lb_Format) == FormatDelimited) {
            showStep(pa_StepComma);
        } else {
            showStep(pa_Step1);
            bu_Prev->setEnabled(false);
        }
    } else if (m_step == pa_StepGrp) {
        showStep(pa_StepFile);
    }
}

void TF_Import::bu_ToClick()
{
    moveChosen(lb_From, lb_To);
}

void TF_Import::bu_BackClick()
{
    moveChosen(lb_To, lb_From);
}

void TF_Import::bu_NewFieldClick()
{
    // A name either list holds already, in any case, is that field.
    const QString name = ed_NewField->text().trimmed();
    if (name.isEmpty())
        return;
    ed_NewField->clear();
    if (!lb_To->findItems(name, Qt::MatchFixedString).isEmpty())
        return;
    const QList<QListWidgetItem *> available = lb_From->findItems(name, Qt::MatchFixedString);
    if (available.isEmpty())
        lb_To->addItem(name);
    else
        lb_To->addItem(lb_From->takeItem(lb_From->row(available[0])));
}

void TF_Import::bu_BrowseClick()
{
    const QString path = chooseImportFile();
    if (!path.isEmpty())
        ed_File->setText(path);
}

void TF_Import::fillGroups()
{
    // Filled afresh at each visit, and kept current while the wizard is open.
    if (!m_groups)
        GroupLists::show(co_Group, m_groups = m_book.WatchGroupNames(std::nullopt, this));
    else
        GroupLists::refill(co_Group, m_groups);
}

TImportSettings TF_Import::settings() const
{
    TImportSettings settings;
    if (chosenRow(lb_Format) == FormatDelimited)
        settings.layout = TAddressImport::DelimitedLayout(entries(lb_To), ed_Delimiter->text());
    settings.headerLine = ch_Header->isChecked();
    settings.skipExisting = ch_Skip->isChecked();
    QFile picture(":/addressbook/mail.png");
    if (picture.open(QIODevice::ReadOnly))
        settings.picture = picture.readAll();
    return settings;
}

void TF_Import::runImport()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_running = true;
    TAddressImport::Progress progress;
    // An empty file keeps a maximum of 1: a maximum of 0 makes a busy bar.
    progress.counted = [this](qint64 lines) {
        pg_Amazon->setMaximum(static_cast<int>(std::clamp<qint64>(lines, 1, INT_MAX)));
    };
    progress.linesRead = [this](qint64 linesRead) {
        pg_Amazon->setValue(static_cast<int>(std::min<qint64>(linesRead, INT_MAX)));
        // The bar repaints itself only by whole percents; a long run moves
        // it by a few pixels at every turn.
        pg_Amazon->update();
        // Paints and timers only: a click now would act on a wizard at work.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    reportErrors([&] { m_import.Run(settings(), TAddressImport::FileOpener(ed_File->text()), progress); });
    m_running = false;
    QApplication::restoreOverrideCursor();
    bu_Cancel->setText("OK");
    la_Finish->show();
}

void TF_Import::reject()
{
    // The work step is final: the wizard closes once the import has ended.
    if (!m_running)
        QDialog::reject();
}
