#include "widgets/StatusBarSendStatus.h"

#include "widgets/StatusBar.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

TStatusBarSendStatus::TStatusBarSendStatus(TSendStatusBar &statusBar) : m_statusBar(statusBar)
{
}

void TStatusBarSendStatus::setActivity(const QString &text)
{
    m_statusBar.activityPanel()->setText(text);
}

void TStatusBarSendStatus::setMemberCount(std::optional<int> count)
{
    m_statusBar.memberCountPanel()->setText(count ? "Email: " + QString::number(*count) : QStringLiteral("Email: "));
}

void TStatusBarSendStatus::setMemberNumber(std::optional<int> number)
{
    // No blank between the colon and a number.
    m_statusBar.memberNumberPanel()->setText(number ? "Email nr:" + QString::number(*number)
                                                    : QStringLiteral("Email nr: "));
}

void TStatusBarSendStatus::setProgressRange(int maximum)
{
    m_statusBar.pb()->setRange(0, maximum);
}

void TStatusBarSendStatus::setProgressPosition(int position)
{
    QProgressBar *progress = m_statusBar.pb();
    progress->setValue(std::clamp(position, progress->minimum(), progress->maximum()));
}

void TStatusBarSendStatus::showRunControls(bool shown)
{
    m_statusBar.pb()->setVisible(shown);
}
