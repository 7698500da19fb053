#include "support/RealSmtpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const Script = R"PY(
import asyncio, base64, json, sys
from aiosmtpd.smtp import SMTP

class Keep:
    # Refuses every recipient whose address starts with "refuse".
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refuse"):
            return "550 5.1.1 no such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                          "data": base64.b64encode(envelope.original_content).decode()}), flush=True)
        return "250 OK"

async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Keep()), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()

asyncio.run(main())
)PY";

}

RealSmtpServer::RealSmtpServer() = default;

RealSmtpServer::~RealSmtpServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool RealSmtpServer::start()
{
    m_process.start(QStringLiteral(CORVANE_PYTHON), {QStringLiteral("-c"), QString::fromLatin1(Script)});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("python3 did not start");
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(15000)) {
            m_error = QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
    }
    m_port = static_cast<quint16>(m_process.readLine().trimmed().toUInt());
    return m_port != 0;
}

QList<RealSmtpServer::Received> RealSmtpServer::messages()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QJsonObject line = QJsonDocument::fromJson(m_pending.left(end)).object();
        m_pending.remove(0, end + 1);
        Received received;
        received.mailFrom = line.value(QStringLiteral("from")).toString();
        for (const QJsonValue &to : line.value(QStringLiteral("to")).toArray())
            received.rcptTos.append(to.toString());
        received.data = QByteArray::fromBase64(line.value(QStringLiteral("data")).toString().toLatin1());
        m_messages.append(received);
    }
    return m_messages;
}
