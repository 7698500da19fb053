// The message-file reader on any bytes: it loads or refuses with a reason,
// never reads past the file, and what it loads reads back the same once saved.
#include "FuzzFile.h"
#include "send/MessageFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzFile::write(data, size);
    TMessageFile message;
    QString error;
    if (!message.Load(path, &error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    // A loaded message is storable only when its fields hold no line break,
    // which a line of a file cannot; saved, it must read back unchanged.
    if (!message.Save(path, &error))
        return 0;
    TMessageFile again;
    if (!again.Load(path, &error) || again.Text != message.Text || again.Group != message.Group
        || again.Signature != message.Signature || again.Attachments != message.Attachments
        || again.Subject != message.Subject)
        std::abort();
    return 0;
}
