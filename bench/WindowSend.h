#pragma once

#include "platform/Prompts.h"

#include <QString>
#include <QStringList>
#include <functional>

class TF_Mdi;

// The group send as a user runs it through the real main window, shared by
// the benchmarks that time it.
namespace WindowSend {

// 16 lines of 62 characters and CR LF: a 1 KB body.
extern const QStringList Body;

// The process's CPU time so far, in seconds.
double cpuSeconds();

// Every box is answered (No to a question, so nothing is resumed) and shown
// on the console: a benchmark must not stop for a box nobody sees.
class ConsolePrompts : public PromptService
{
public:
    PromptAnswer show(PromptKind, const QString &text, PromptButtons buttons) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    }
};

struct Run
{
    double seconds = 0; // from the click to the results window
    double cpu = 0;
    int progressAtEnd = 0;
    QString outcome;
};

// Composes the message in the message window (Body under "Bench" unless
// given) and clicks "Start sending Email"; the run ends when the results
// window opens, which is closed. during(ms) is called now and then while the
// run goes on.
Run run(TF_Mdi &mdi, const QString &group, const std::function<void(qint64)> &during = {},
        const QString &subject = QStringLiteral("Bench"), const QStringList &body = Body);

// The settings a run needs, with the server on 127.0.0.1 at port.
void writeSettings(const QString &folder, quint16 port);

} // namespace WindowSend
