// The mail folder reader and the notice reader on any mbox file: every
// message read keeps no more than its cap and no more than the file holds,
// and a notice reports only permanent failures with an address, never a
// suppression for a message cut short, unreadable or without a header's end.
#include "FuzzFile.h"
#include "replies/MailFolder.h"
#include "replies/ReplyNotice.h"

#include <QFileInfo>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Any subject that names a word after "unsubscribe" counts, so the request
// path is reached without the sending side's token.
bool anyRequest(const QString &subject)
{
    return subject.startsWith(QLatin1String("unsubscribe "), Qt::CaseInsensitive) && subject.size() > 12;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzFile::write(data, size);
    MailFolder folder;
    if (!folder.open(path))
        return 0;
    qint64 total = 0;
    MailMessage message;
    while (folder.next(message)) {
        check(message.kept.size() <= MailMessage::KeepLimit && message.kept.size() <= message.size);
        check(message.cut == (message.size > message.kept.size()));
        total += message.size;
        check(total <= qint64(size));
        const ReplyNotice notice = ReplyNotice::read(message, anyRequest);
        if (!message.ended || !message.failure.isEmpty())
            check(notice.kind == ReplyNotice::Kind::Skipped);
        if (notice.kind == ReplyNotice::Kind::Skipped)
            check(!notice.notes.isEmpty() && notice.failures.isEmpty());
        for (const ReplyNotice::Failure &failure : notice.failures)
            check(!failure.address.isEmpty() && failure.status.startsWith(u'5') && failure.status != "5.2.2");
        if (notice.kind == ReplyNotice::Kind::Unsubscribe)
            check(anyRequest(notice.subject));
    }
    return 0;
}
