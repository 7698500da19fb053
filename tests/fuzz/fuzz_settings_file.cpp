// The settings-file reader on any bytes: every key reads (with its default
// where the file has nothing usable), and a key written reads back as written
// while the keys around it keep their values.
#include "FuzzFile.h"
#include "send/MailerSettings.h"
#include "platform/ProfileIni.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzFile::write(data, size);
    TMailerSettings settings;
    settings.LoadSettings(path);
    if (settings.FSmtpServer.size() > ProfileIni::MaxValueLength)
        std::abort();
    settings.SmtpServer();

    ProfileIni ini(path);
    const int version = ini.readInteger("DATABAS", "VERSION", 0);
    const QString port = ini.readString("SMTP", "PORT", "25");
    ini.writeString("PERSONAL", "NAME", QStringLiteral("Ann Sender"));
    if (ini.readString("PERSONAL", "NAME", QString()) != QStringLiteral("Ann Sender")
        || ini.readInteger("DATABAS", "VERSION", 0) != version || ini.readString("SMTP", "PORT", "25") != port)
        std::abort();
    return 0;
}
