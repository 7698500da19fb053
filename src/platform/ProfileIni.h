#pragma once

#include "platform/Exception.h"

#include <QString>

// An INI file read and written one key at a time with the semantics of the
// platform's profile-string functions: sections and keys match without regard
// to case, values are trimmed and read up to 1023 characters, a write rewrites
// the file keeping every other line and comment, and a missing file reads as
// defaults. Every call goes to the file itself, so values written by another
// program are seen at the next read.
class EIniFileException : public Exception
{
public:
    using Exception::Exception;
};

class ProfileIni
{
public:
    static constexpr int MaxValueLength = 1023;

    explicit ProfileIni(const QString &fileName);
    const QString &fileName() const { return m_fileName; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal after "0x"; anything else gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer that counts as true when not 0.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Each throws EIniFileException when the file cannot be written, or when
    // it is there but cannot be read; the file on disk is then left as it
    // was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // The integer parse used by readInteger, for callers holding a text.
    static bool parseInteger(const QString &text, int &value);

private:
    QString m_fileName;
};
