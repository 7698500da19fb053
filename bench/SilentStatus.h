#pragma once

#include "send/SendStatus.h"

// A group send's display that shows nothing, for runs timed without windows.
class SilentStatus : public TSendStatus
{
public:
    void setActivity(const QString &) override {}
    void setMemberCount(std::optional<int>) override {}
    void setMemberNumber(std::optional<int>) override {}
    void setProgressRange(int) override {}
    void setProgressPosition(int) override {}
    void showRunControls(bool) override {}
    void setSendEnabled(bool) override {}
    void showResults(const QStringList &) override {}
};
