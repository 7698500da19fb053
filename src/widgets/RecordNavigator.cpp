#include "widgets/RecordNavigator.h"

#include "store/DataSet.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {

struct ButtonLook
{
    const char *name;
    const char *hint;
    QStyle::StandardPixmap glyph;
};

const ButtonLook kButtons[TDBNavigator::ButtonCount] = {
    {"First", "First record", QStyle::SP_MediaSkipBackward},
    {"Prior", "Prior record", QStyle::SP_MediaSeekBackward},
    {"Next", "Next record", QStyle::SP_MediaSeekForward},
    {"Last", "Last record", QStyle::SP_MediaSkipForward},
    {"Insert", "Insert record", QStyle::SP_FileDialogNewFolder},
    {"Delete", "Delete record", QStyle::SP_TrashIcon},
    {"Edit", "Edit record", QStyle::SP_FileDialogDetailedView},
    {"Post", "Post edit", QStyle::SP_DialogApplyButton},
    {"Cancel", "Cancel edit", QStyle::SP_DialogCancelButton},
};

}

TDBNavigator::TDBNavigator(const QString &objectName, QWidget *parent) : QWidget(parent)
{
    setObjectName(objectName);
    setAccessibleName(objectName);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(kButtons[i].name));
        b->setIcon(style()->standardIcon(kButtons[i].glyph));
        b->setToolTip(QString::fromLatin1(kButtons[i].hint));
        b->setAccessibleName(QString::fromLatin1(kButtons[i].hint));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { BtnClick(static_cast<Button>(i)); });
        layout->addWidget(b);
        m_buttons[i] = b;
    }
    updateButtons();
}

void TDBNavigator::setDataSet(TDataSet *dataSet)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    if (dataSet) {
        for (auto signal : {&TDataSet::layoutChanged, &TDataSet::stateChanged, &TDataSet::recordChanged})
            connect(dataSet, signal, this, &TDBNavigator::updateButtons);
        connect(dataSet, &TDataSet::currentRowChanged, this, &TDBNavigator::updateButtons);
    }
    updateButtons();
}

void TDBNavigator::BtnClick(Button which)
{
    if (!m_dataSet)
        return;
    TDataSet &ds = *m_dataSet;
    reportErrors([&] {
        switch (which) {
        case nbFirst:
            ds.First();
            break;
        case nbPrior:
            ds.Prior();
            break;
        case nbNext:
            ds.Next();
            break;
        case nbLast:
            ds.Last();
            break;
        case nbInsert:
            ds.Insert();
            break;
        case nbDelete:
            if (Prompt::confirm(QStringLiteral("Delete record?"), PromptButtons::OkCancel) == PromptAnswer::Ok)
                ds.Delete();
            break;
        case nbEdit:
            ds.Edit();
            break;
        case nbPost:
            ds.Post();
            break;
        case nbCancel:
            ds.Cancel();
            break;
        }
    });
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    const bool active = m_dataSet && m_dataSet->Active();
    const bool browsing = active && m_dataSet->State() == TDataSetState::dsBrowse;
    const bool editing = active && !browsing;
    const bool hasRows = active && !m_dataSet->IsEmpty();
    const bool notFirst = browsing && hasRows && m_dataSet->RecNo() > 1;
    const bool notLast = browsing && hasRows && m_dataSet->RecNo() < m_dataSet->RecordCount();
    const bool enabled[ButtonCount] = {notFirst, notFirst, notLast, notLast, active, browsing && hasRows,
                                       browsing, editing, editing};
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(enabled[i]);
}
