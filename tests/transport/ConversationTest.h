#pragma once

// A client talking over a scripted connection, and the steps most
// conversations share.
#include "support/SmtpTestFixture.h"
#include "transport/ScriptedConnection.h"

#include <QDateTime>
#include <QTimeZone>
#include <memory>

namespace conversation {

using Step = ScriptedConnection::Step;

struct ConversationTest : SmtpClientSetup
{
    std::unique_ptr<TSmtpClient> client;
    ScriptedConnection *connection = nullptr;

    void talk(QList<Step> steps)
    {
        auto scripted = std::make_unique<ScriptedConnection>(std::move(steps));
        connection = scripted.get();
        client = std::make_unique<TSmtpClient>(std::move(scripted));
        wire(*client);
        client->Host = QStringLiteral("mail.test");
        client->FromName = QStringLiteral("a@x");
        client->RcptName = {QStringLiteral("b@x")};
    }
};

const Step Greeting{"", {"220 mail.test ready\r\n"}};
const Step Helo{"EHLO corvane.test\r\n", {"250 mail.test\r\n"}};
const QList<Step> Envelope{Greeting, Helo,
                           {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
                           {"RCPT TO:<b@x>\r\n", {"250 ok\r\n"}},
                           {"DATA\r\n", {"354 go ahead\r\n"}}};
const QDateTime Now(QDate(2026, 12, 8), QTime(7, 41, 16), QTimeZone(3600));

// The message the client writes for `lines` with no header fields set, up
// to and with the final dot, at Now.
inline QByteArray message(const QByteArray &lines)
{
    return "From: \r\nTo: \r\nSubject: \r\nMime-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
           "Date: Tue, 8 Dec 2026 07:41:16 +0100\r\n\r\n"
           + lines + ".\r\n";
}

} // namespace conversation

using conversation::ConversationTest;
