// The SMTP reply reader on any stream of server bytes, cut into reads of
// every size and into lines as the socket cuts them (LineAssembly): every
// line is the one the server sent, cut at the limit, never out of step with
// the server's line ends; every reply ends at its bounds with a code in
// range, an enhanced status code is read only where it stands after the
// code, and NUL bytes stay in view. The first byte chooses how the stream
// is cut into reads.
#include "transport/LineAssembly.h"
#include "transport/SmtpReply.h"

#include <QList>
#include <cstdlib>

namespace {

// The lines as the server sent them, CR dropped and cut at the limit: what
// the reader must hand over, worked out without it.
QList<QByteArray> sentLines(const QByteArray &stream)
{
    QList<QByteArray> lines = stream.split('\n');
    lines.removeLast(); // not ended by a line feed: not a line yet
    for (QByteArray &line : lines)
        line = line.replace('\r', QByteArray()).left(LineAssembly::Limit);
    return lines;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int readSize = 1 + data[0] * 7;
    const QByteArray stream(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    const QList<QByteArray> expected = sentLines(stream);

    LineAssembly assembly;
    TSmtpReply reply;
    qsizetype lineCount = 0;
    qsizetype at = 0;
    assembly.begin();
    while (at < stream.size()) {
        const int length = static_cast<int>(std::min<qsizetype>(readSize, stream.size() - at));
        const LineAssembly::Step step = assembly.take(stream.constData() + at, length);
        check(step.taken > 0 && step.taken <= length);
        at += step.taken;
        check(assembly.line().size() <= LineAssembly::Limit);
        if (step.end == LineAssembly::End::None) {
            check(step.taken == length);
            // A read that ended without a line feed; the next one goes on.
            assembly.begin();
            continue;
        }
        const QByteArray &line = assembly.line();
        check(lineCount < expected.size() && line == expected.at(lineCount));
        ++lineCount;
        reply.addLine(line);
        const QString text = TSmtpReply::lineText(line);
        check(!text.contains(QChar(0)) && text.size() >= line.size());
        check(reply.code() >= 0 && reply.code() <= 1'000'000);
        // An enhanced code is "class.subject.detail" of the reply's class.
        const QString enhanced = TSmtpReply::enhancedCode(text);
        check(enhanced.isEmpty()
              || (enhanced.size() >= 5 && enhanced.size() <= 9 && enhanced.at(0) == text.at(0)
                  && text.mid(4, enhanced.size()) == enhanced));
        if (reply.isComplete() || reply.isTooLong())
            reply = TSmtpReply();
        assembly.begin();
    }
    check(lineCount == expected.size());
    // A reply without a time limit never runs out.
    check(reply.remainingCounts(1000) > 0);
    return 0;
}
