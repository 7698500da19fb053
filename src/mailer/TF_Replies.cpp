#include "mailer/TF_Replies.h"

#include "mailer/MailerSession.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"
#include "replies/ReplyProcessing.h"
#include "store/DM_Databaser.h"
#include "store/SuppressionList.h"
#include "widgets/Labelling.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString kindOf(const QString &reason)
{
    return reason == suppressionReasonText(TSuppressionReason::HardBounce) ? QStringLiteral("hard bounce")
                                                                           : QStringLiteral("unsubscribe");
}

} // namespace

TF_Replies::TF_Replies(TMailerSession &session, QWidget *parent)
    : QWidget(parent),
      ed_Folder(new QLineEdit(this)),
      bu_File(commandButton(this, "bu_File", "mbox file...", "Choose an mbox file, as mail clients keep a folder")),
      bu_Maildir(commandButton(this, "bu_Maildir", "Maildir...", "Choose a Maildir folder (with cur and new)")),
      bu_Read(commandButton(this, "bu_Read", "Read", "Read the mail folder for bounces and unsubscribe requests")),
      la_Progress(new QLabel(this)),
      gr_Found(new QTableWidget(0, 5, this)),
      mo_Skipped(new QPlainTextEdit(this)),
      bu_Ok(commandButton(this, "bu_Ok", "OK", "Suppress the addresses found")),
      bu_Cancel(commandButton(this, "bu_Cancel", "Cancel", "Close without suppressing anybody")),
      m_session(session),
      m_slices(new QTimer(this))
{
    setObjectName("F_Replies");
    setWindowTitle("Process replies");
    resize(640, 480);

    ed_Folder->setObjectName("ed_Folder");
    ed_Folder->setAccessibleDescription("An mbox file or a Maildir folder");
    la_Progress->setObjectName("la_Progress");
    la_Progress->setWordWrap(true);
    gr_Found->setObjectName("gr_Found");
    gr_Found->setHorizontalHeaderLabels({"Address", "Kind", "Matched by", "Where", "Evidence"});
    gr_Found->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gr_Found->setSelectionBehavior(QAbstractItemView::SelectRows);
    gr_Found->verticalHeader()->hide();
    gr_Found->horizontalHeader()->setStretchLastSection(true);
    gr_Found->setAccessibleName("Addresses found");
    gr_Found->setAccessibleDescription("The addresses OK suppresses, each with the mail that names it");
    mo_Skipped->setObjectName("mo_Skipped");
    mo_Skipped->setReadOnly(true);
    mo_Skipped->setAccessibleDescription("Messages and recipients read but not suppressed, and why");

    auto *folderRow = new QHBoxLayout;
    auto *folderLabel = new QLabel("Mail folder:", this);
    labelControl(folderLabel, ed_Folder);
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(ed_Folder, 1);
    folderRow->addWidget(bu_File);
    folderRow->addWidget(bu_Maildir);
    folderRow->addWidget(bu_Read);
    auto *foundLabel = new QLabel("Addresses to suppress:", this);
    labelControl(foundLabel, gr_Found);
    auto *skippedLabel = new QLabel("Skipped:", this);
    labelControl(skippedLabel, mo_Skipped);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bu_Ok);
    buttons->addWidget(bu_Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addWidget(la_Progress);
    layout->addWidget(foundLabel);
    layout->addWidget(gr_Found, 3);
    layout->addWidget(skippedLabel);
    layout->addWidget(mo_Skipped, 1);
    layout->addLayout(buttons);
    bu_Ok->setEnabled(false);

    chooseMboxFile = [this] { return QFileDialog::getOpenFileName(this, "Choose an mbox file"); };
    chooseMaildir = [this] { return QFileDialog::getExistingDirectory(this, "Choose a Maildir folder"); };
    auto chosen = [this](const std::function<QString()> &choose) {
        const QString path = choose();
        if (!path.isEmpty())
            ed_Folder->setText(path);
    };
    connect(bu_File, &QPushButton::clicked, this, [this, chosen] { chosen(chooseMboxFile); });
    connect(bu_Maildir, &QPushButton::clicked, this, [this, chosen] { chosen(chooseMaildir); });
    connect(bu_Read, &QPushButton::clicked, this, &TF_Replies::bu_ReadClick);
    connect(bu_Ok, &QPushButton::clicked, this, &TF_Replies::bu_OkClick);
    connect(bu_Cancel, &QPushButton::clicked, this, &QWidget::close);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &TF_Replies::readSlice);
}

TF_Replies::~TF_Replies() = default;

bool TF_Replies::Reading() const
{
    return m_slices->isActive();
}

void TF_Replies::bu_ReadClick()
{
    const QString path = ed_Folder->text().trimmed();
    if (path.isEmpty()) {
        Prompt::error("Choose the mail folder to read first!");
        ed_Folder->setFocus();
        return;
    }
    m_slices->stop();
    bu_Ok->setEnabled(false);
    gr_Found->setRowCount(0);
    mo_Skipped->clear();
    reportErrors([&] {
        TDM_Databaser &dm = m_session.DataModule();
        m_processing = std::make_unique<TReplyProcessing>(dm.Databas, m_session.Secrets(), dm.StoreIdentity());
        if (!m_processing->Open(path)) {
            showResult();
            return;
        }
        la_Progress->setText("Reading " + path + "...");
        m_slices->start();
    });
}

void TF_Replies::readSlice()
{
    // The window may be closed between slices: the timer goes with it.
    if (m_processing->Step(SliceMs)) {
        la_Progress->setText(QStringLiteral("Reading: %1 messages so far...").arg(m_processing->Result().messages));
        return;
    }
    m_slices->stop();
    showResult();
}

void TF_Replies::showResult()
{
    const auto &result = m_processing->Result();
    gr_Found->setRowCount(int(result.found.size()));
    for (int r = 0; r < result.found.size(); ++r) {
        const auto &finding = result.found[r];
        const QString cells[] = {finding.address, kindOf(finding.reason), finding.matchedBy, finding.where,
                                 finding.evidence};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setToolTip(c == 0 ? finding.members.join('\n') : cells[c]);
            gr_Found->setItem(r, c, item);
        }
    }
    gr_Found->resizeColumnsToContents();
    mo_Skipped->setPlainText(result.skipped.join('\n'));
    la_Progress->setText(QStringLiteral("Read %1 messages: %2 addresses to suppress, %3 lines skipped.")
                             .arg(result.messages)
                             .arg(result.found.size())
                             .arg(result.skipped.size()));
    bu_Ok->setEnabled(!result.found.isEmpty());
}

void TF_Replies::bu_OkClick()
{
    if (!m_processing || !m_processing->Finished())
        return;
    reportErrors([this] {
        TSuppressionList list(m_session.DataModule().Databas);
        const qsizetype found = m_processing->Result().found.size();
        const int added = m_processing->Suppress(list);
        QString text = QStringLiteral("%1 addresses suppressed.").arg(added);
        if (added < found)
            text += QStringLiteral(" %1 were on the list already.").arg(found - added);
        Prompt::information(text);
        close();
    });
}
