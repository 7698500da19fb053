// The SMTP reply reader on any stream of server bytes, cut into lines as the
// socket cuts them (at LF, CR dropped, at most 254 characters): every reply
// ends at its bounds with a code in range, and NUL bytes stay in view.
#include "transport/SmtpReply.h"

#include <cstdlib>

namespace {

// As the socket's line reading hands lines over.
constexpr qsizetype SocketLineLimit = 254;

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    TSmtpReply reply;
    QByteArray line;
    auto take = [&] {
        reply.addLine(line);
        const QString text = TSmtpReply::lineText(line);
        if (text.contains(QChar(0)) || text.size() < line.size())
            std::abort();
        if (reply.code() < 0 || reply.code() > 1'000'000)
            std::abort();
        if (reply.isComplete() || reply.isTooLong())
            reply = TSmtpReply();
        line.clear();
    };
    for (const char byte : stream) {
        if (byte == '\r')
            continue;
        if (byte == '\n') {
            take();
            continue;
        }
        line.append(byte);
        if (line.size() >= SocketLineLimit)
            take();
    }
    if (reply.remainingCounts(1000) <= 0)
        std::abort(); // a reply without a time limit never runs out
    return 0;
}
