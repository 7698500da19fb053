#include "mailer/ScheduleEditor.h"

#include "store/DM_Databaser.h"
#include "platform/ErrorReport.h"
#include "widgets/DBGrid.h"
#include "widgets/RecordNavigator.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace mailer {

TF_Agent::TF_Agent(TDM_Databaser &dataModule, TDBNavigator &navigator, const QString &messageFolder, QWidget *parent)
    : QWidget(parent),
      gr_Agent(new TDBGrid("gr_Agent", this)),
      chooseMessageFile(messageFileDialog(this, QFileDialog::AcceptOpen, QStringLiteral("Open"), QStringLiteral("od"))),
      m_dm(dataModule),
      m_navigator(navigator),
      m_messageFolder(messageFolder)
{
    setObjectName("F_Agent");
    setWindowTitle("Schedule");
    gr_Agent->setColumns({{"Grupp", 200}, {"Date", 70}, {"Time", 46}, {"MsgFile", 233}});
    gr_Agent->setEditing(true);
    gr_Agent->setDataSet(&m_dm.ta_Agent);
    gr_Agent->setAccessibleDescription("The scheduled sends: group, date, time and message file");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(gr_Agent);

    connect(gr_Agent, &TDBGrid::columnEntered, this, &TF_Agent::askForPick);
    connect(gr_Agent, &QAbstractItemView::doubleClicked, this, &TF_Agent::askForPick);
    // The window sees every key of its controls first.
    qApp->installEventFilter(this);
}

QSize TF_Agent::sizeHint() const
{
    const int width = gr_Agent->horizontalHeader()->length() + gr_Agent->verticalScrollBar()->sizeHint().width()
                      + 2 * gr_Agent->frameWidth();
    return {width, 260};
}

bool TF_Agent::editing() const
{
    const TDataSetState state = m_dm.ta_Agent.State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TF_Agent::askForPick()
{
    // The dialog opens once the click or key that asked is done; a double
    // click that also entered the column asks once.
    if (m_pickAsked)
        return;
    m_pickAsked = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pickAsked = false;
            PickMessageFile();
        },
        Qt::QueuedConnection);
}

void TF_Agent::PickMessageFile()
{
    if (gr_Agent->currentIndex().column() != MsgFileColumn || !editing())
        return;
    const QString path = askForMessageFile(m_messageFolder, chooseMessageFile);
    if (!path.isEmpty() && editing())
        reportErrors([&] { m_dm.ta_Agent.FieldByName("MsgFile").SetAsString(path); });
}

bool TF_Agent::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const WindowKey *windowKey = findWindowKey(key->key(), key->modifiers());
    if (!windowKey)
        return false;
    // Ours before any shortcut or control takes it, and swallowed whether or
    // not it acts.
    event->accept();
    if (event->type() == QEvent::KeyPress)
        FormKeyDown(*windowKey);
    return true;
}

const TF_Agent::WindowKey *TF_Agent::findWindowKey(int key, Qt::KeyboardModifiers modifiers)
{
    static const WindowKey keys[] = {
        {Qt::Key_PageUp, TDBNavigator::nbPrior, WindowKey::Always},
        {Qt::Key_PageDown, TDBNavigator::nbNext, WindowKey::Always},
        {Qt::Key_End, TDBNavigator::nbLast, WindowKey::Always},
        {Qt::Key_Home, TDBNavigator::nbFirst, WindowKey::Always},
        {Qt::Key_Insert, TDBNavigator::nbInsert, WindowKey::Browsing},
        {Qt::Key_Delete, TDBNavigator::nbDelete, WindowKey::Browsing},
        {Qt::Key_S, TDBNavigator::nbPost, WindowKey::Editing},
        {Qt::Key_A, TDBNavigator::nbCancel, WindowKey::Editing},
    };
    if (modifiers != Qt::ControlModifier)
        return nullptr;
    for (const WindowKey &windowKey : keys) {
        if (windowKey.key == key)
            return &windowKey;
    }
    return nullptr;
}

void TF_Agent::FormKeyDown(const WindowKey &key)
{
    if ((key.when == WindowKey::Browsing && editing()) || (key.when == WindowKey::Editing && !editing()))
        return;
    // A navigator action runs only where its button is shown, except cancel.
    if (key.button == TDBNavigator::nbCancel || !m_navigator.button(key.button)->isHidden())
        m_navigator.BtnClick(key.button);
}

}
