#include "mailer/TF_NewMsg.h"

#include "store/DM_Databaser.h"
#include "store/DataSetModel.h"
#include "mailer/DisplayedLines.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_NewMsgA.h"
#include "widgets/Labelling.h"
#include "widgets/MessageFileDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

const QString kNoSignature = QStringLiteral("None");
const QString kAttachedFiles = QStringLiteral("Attached file(s):");

template <typename Control>
void labelled(QFormLayout *form, const QString &caption, Control *control, const QString &objectName)
{
    auto *label = new QLabel(caption, control->parentWidget());
    labelControl(label, control);
    control->setObjectName(objectName);
    form->addRow(label, control);
}

}

TF_NewMsg::TF_NewMsg(TMailerSession &session, QWidget *parent)
    : QWidget(parent),
      co_Group(new QComboBox(this)),
      co_Signature(new QComboBox(this)),
      Label4(new QLabel(kAttachedFiles, this)),
      co_AttachedFiles(new QComboBox(this)),
      e_subject(new QLineEdit(this)),
      mo_Message(new QPlainTextEdit(this)),
      chooseSaveFile(messageFileDialog(this, QFileDialog::AcceptSave, QStringLiteral("Save message"),
                                       QStringLiteral("SD"))),
      chooseOpenFile(messageFileDialog(this, QFileDialog::AcceptOpen, QStringLiteral("Load message"),
                                       QStringLiteral("OD"))),
      pickerFolder(QDir::homePath()),
      m_session(session),
      m_groups(new TDataSetModel(&session.DataModule().ta_Group, this))
{
    setObjectName("F_NewMsg");
    setWindowTitle("New message");

    auto *form = new QFormLayout;
    labelled(form, "Send to group:", co_Group, "co_Group");
    co_Group->setModel(m_groups);
    co_Group->setModelColumn(std::max(m_groups->columnOfField("Grupp"), 0));
    co_Group->setCurrentIndex(-1);
    connect(co_Group, &QComboBox::activated, this, &TF_NewMsg::groupChosen);
    // A reread of the groups table must not change the chosen group.
    connect(m_groups, &QAbstractItemModel::modelReset, this, &TF_NewMsg::keepChosenGroup);

    labelled(form, "Signature:", co_Signature, "co_Signature");
    // The box shows any signature name a loaded message brings, but the user
    // only picks from the list: its text cannot be typed into.
    co_Signature->setEditable(true);
    co_Signature->setInsertPolicy(QComboBox::NoInsert);
    co_Signature->lineEdit()->setReadOnly(true);
    co_Signature->lineEdit()->setAccessibleName(co_Signature->accessibleName());

    co_AttachedFiles->setObjectName("co_AttachedFiles");
    Label4->setObjectName("Label4");
    labelControl(Label4, co_AttachedFiles);
    form->addRow(Label4, co_AttachedFiles);
    labelled(form, "Subject:", e_subject, "e_subject");

    mo_Message->setObjectName("mo_Message");
    mo_Message->setAccessibleName("mo_Message");
    mo_Message->setAccessibleDescription("Message text");
    mo_Message->setFont(QFont("Arial", 8));
    mo_Message->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A drop-down list is named after its box.
    for (QComboBox *box : {co_Group, co_Signature, co_AttachedFiles})
        box->view()->setAccessibleName(box->accessibleName());
    auto *column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(mo_Message, 1);

    session.Draft().Attachments.clear();
}

QString TF_NewMsg::MessageFolder() const
{
    return m_session.MessageFolder();
}

void TF_NewMsg::FormActivate()
{
    co_Signature->clear();
    co_Signature->addItem(kNoSignature);
    co_Signature->addItems(m_session.FSignatureNames);
    co_Signature->setCurrentIndex(0);
    m_activated = true;
    if (m_restoredSignature)
        showSignature(*std::exchange(m_restoredSignature, std::nullopt));
}

void TF_NewMsg::groupChosen(int row)
{
    m_chosenGroup = co_Group->itemText(row);
    reportErrors([&] { m_session.DataModule().ta_Group.MoveToRow(row); });
}

void TF_NewMsg::keepChosenGroup()
{
    co_Group->setCurrentIndex(m_chosenGroup.isEmpty() ? -1 : co_Group->findText(m_chosenGroup));
}

TMessageFile TF_NewMsg::composedMessage() const
{
    TMessageFile message;
    message.Text = DisplayedLines::of(mo_Message);
    message.Group = m_session.DataModule().ta_Group.FieldByName("Grupp").AsString();
    message.Signature = co_Signature->currentText();
    message.Attachments = m_session.Draft().Attachments;
    message.Subject = e_subject->text();
    return message;
}

void TF_NewMsg::bu_SaveClick()
{
    const QString path = askForMessageFile(MessageFolder(), chooseSaveFile);
    if (path.isEmpty())
        return;
    QString error;
    if (!composedMessage().Save(path, &error))
        Prompt::error(error);
}

void TF_NewMsg::bu_LaddaClick()
{
    const QString path = askForMessageFile(MessageFolder(), chooseOpenFile);
    if (path.isEmpty())
        return;
    TMessageFile message;
    QString error;
    if (!message.Load(path, &error)) {
        Prompt::error(error);
        return;
    }
    showSignature(message.Signature);
    m_session.Draft().Attachments.append(message.Attachments);
    showAttachments(m_session.Draft().Attachments);
    e_subject->setText(message.Subject);
    DisplayedLines::put(mo_Message, message.Text);
}

TF_NewMsg::Contents TF_NewMsg::contents() const
{
    QStringList shown;
    for (int i = 0; i < co_AttachedFiles->count(); ++i)
        shown.append(co_AttachedFiles->itemText(i));
    return {co_Group->currentText(), co_Signature->currentText(), m_session.Draft().Attachments, shown, e_subject->text(),
            mo_Message->toPlainText()};
}

void TF_NewMsg::restore(const Contents &contents)
{
    const int row = co_Group->findText(contents.Group);
    co_Group->setCurrentIndex(row);
    if (row >= 0)
        groupChosen(row);
    // The first activation fills the signature box afresh: the name waits
    // for it.
    if (m_activated)
        showSignature(contents.Signature);
    else
        m_restoredSignature = contents.Signature;
    m_session.Draft().Attachments = contents.Attachments;
    if (!contents.Attachments.isEmpty())
        showAttachments(contents.ShownAttachments);
    e_subject->setText(contents.Subject);
    mo_Message->setPlainText(contents.Text);
}

bool TF_NewMsg::isBlank() const
{
    return co_Group->currentText().isEmpty() && mo_Message->document()->isEmpty() && e_subject->text().isEmpty()
           && m_session.Draft().Attachments.isEmpty();
}

void TF_NewMsg::showSignature(const QString &name)
{
    const int listed = co_Signature->findText(name);
    if (listed >= 0)
        co_Signature->setCurrentIndex(listed);
    else
        co_Signature->setEditText(name);
}

void TF_NewMsg::showAttachments(const QStringList &entries)
{
    Label4->setText(kAttachedFiles + u' ' + QString::number(m_session.Draft().Attachments.size()));
    co_AttachedFiles->clear();
    co_AttachedFiles->addItems(entries);
    co_AttachedFiles->setCurrentIndex(0);
}

void TF_NewMsg::bu_AttachGrpMailClick()
{
    TF_NewMsgA picker(this);
    // Centred on the main window, whose child this window is.
    const QRect main = window()->frameGeometry();
    picker.move(main.x() + (main.width() - picker.width()) / 2, main.y() + (main.height() - picker.height()) / 2);
    picker.setAttachments(m_session.Draft().Attachments);
    picker.setCurrentFolder(pickerFolder);
    if (picker.exec() != QDialog::Accepted)
        return;
    pickerFolder = picker.currentFolder();
    m_session.Draft().Attachments = picker.realEntries();
    showAttachments(picker.shownEntries());
}
