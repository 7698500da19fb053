#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A received message as Python's standard email package reads it: an
// independent parser, so the tests do not check the message builder against
// itself.
struct ParsedMessage
{
    struct Part
    {
        QString contentType;
        QString filename;
        QByteArray payload; // after the transfer encoding is undone
        QString text;       // text parts, decoded with their charset
    };
    bool ok = false;
    QString error;
    QString subject; // RFC 2047 words decoded
    QString from;
    bool multipart = false;
    QList<Part> parts;
};

ParsedMessage parseWithPython(const QByteArray &message);
