#include "mailer/TF_Signature.h"

#include "mailer/DisplayedLines.h"
#include "platform/Prompts.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Sign.h"
#include "widgets/Labelling.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

TF_Signature::TF_Signature(TMailerSession &session, QWidget *parent)
    : QWidget(parent),
      SignatureList(new QTreeWidget(this)),
      m_session(session),
      m_folder(session.FilesFolder())
{
    setObjectName("F_Signature");
    setWindowTitle("Signature");
    auto *label = new QLabel("Signatures", this);
    labelControl(label, SignatureList);
    SignatureList->setObjectName("SignatureList");
    SignatureList->setHeaderHidden(true);
    SignatureList->header()->setAccessibleName(label->text());
    SignatureList->setRootIsDecorated(false);
    SignatureList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(SignatureList, &QTreeWidget::itemDoubleClicked, this, &TF_Signature::bu_EditSignaturClick);
    auto *column = new QVBoxLayout(this);
    column->addWidget(label);
    column->addWidget(SignatureList);
}

bool TF_Signature::event(QEvent *event)
{
    // The list is a small tool window: its frame has a caption and a close
    // button only, set as soon as the main window puts it into a frame.
    if (event->type() == QEvent::ParentChange) {
        if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
            frame->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    }
    return QWidget::event(event);
}

void TF_Signature::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void TF_Signature::FormActivate()
{
    rescan();
}

void TF_Signature::rescan()
{
    SignatureList->clear();
    if (!m_session.ScanSignatures())
        return;
    for (const QString &name : std::as_const(m_session.FSignatureNames))
        SignatureList->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
}

QString TF_Signature::selectedName()
{
    const QList<QTreeWidgetItem *> selected = SignatureList->selectedItems();
    const int position = selected.isEmpty() ? -1 : SignatureList->indexOfTopLevelItem(selected.first());
    if (position < 0 || position >= m_session.FSignatureNames.size()) {
        Prompt::warning("You must select a Signature first!");
        return {};
    }
    return m_session.FSignatureNames[position];
}

void TF_Signature::runEditor(const QString &name, const QStringList &lines, const StoreEdited &store)
{
    {
        TF_Sign editor(this);
        DisplayedLines::put(editor.Memo1, lines);
        editor.Ed_Name->setText(name);
        if (editor.exec() == QDialog::Accepted && !store(editor.Ed_Name->text(), DisplayedLines::of(editor.Memo1)))
            Prompt::warning("Cannot save signature!");
    }
    rescan();
}

void TF_Signature::bu_NySignaturClick()
{
    runEditor({}, {}, [this](const QString &name, const QStringList &lines) { return m_folder.write(name, lines); });
}

void TF_Signature::bu_EditSignaturClick()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    QStringList lines;
    QString error;
    if (!m_folder.read(name, lines, &error)) {
        Prompt::error(error);
        rescan();
        return;
    }
    runEditor(name, lines, [this, name](const QString &newName, const QStringList &edited) {
        return m_folder.rename(name, newName, edited);
    });
}

void TF_Signature::bu_DeleteSignaturClick()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    if (Prompt::confirm("Are you sure?") == PromptAnswer::Yes && !m_folder.remove(name))
        Prompt::warning("Cannot delete signature!");
    rescan();
}
