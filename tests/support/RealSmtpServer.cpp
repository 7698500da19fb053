#include "support/RealSmtpServer.h"

#include "support/PythonPeer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const Script = R"PY(
import asyncio, base64, json, ssl, sys
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# With a certificate: TLS from the first byte ("implicit") or STARTTLS
# required; with a user, a login required, under TLS only.
config = json.loads(sys.argv[1]) if len(sys.argv) > 1 else {}

class Keep:
    throttled = set()
    # Refuses every recipient whose address starts with "refuse"; asks to
    # wait, once, for each that starts with "throttle".
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        print(json.dumps({"rcpt": address}), flush=True)
        if address.startswith("refuse"):
            return "550 5.1.1 no such user"
        if address.startswith("throttle") and address not in Keep.throttled:
            Keep.throttled.add(address)
            return "421 4.7.0 too many messages, try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                          "data": base64.b64encode(envelope.original_content).decode()}), flush=True)
        return "250 OK"

def check_login(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == config["user"].encode()
          and auth_data.password == config["password"].encode())
    return AuthResult(success=ok, handled=False)

def make_smtp():
    options = {}
    if "certificate" in config and not config.get("implicit"):
        options.update(tls_context=context, require_starttls=True)
    if "user" in config:
        # Implicit TLS is TLS too, which aiosmtpd only knows of STARTTLS.
        options.update(authenticator=check_login, auth_required=True,
                       auth_require_tls=not config.get("implicit"))
    return SMTP(Keep(), **options)

context = None
if "certificate" in config:
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(config["certificate"], config["key"])

async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(make_smtp, "127.0.0.1", 0,
                                      ssl=context if config.get("implicit") else None)
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
    return start(Security());
}

bool RealSmtpServer::start(const Security &security)
{
    QJsonObject config;
    if (!security.certificateFile.isEmpty()) {
        config.insert(QStringLiteral("certificate"), security.certificateFile);
        config.insert(QStringLiteral("key"), security.keyFile);
        config.insert(QStringLiteral("implicit"), security.implicit);
    }
    if (!security.user.isEmpty()) {
        config.insert(QStringLiteral("user"), security.user);
        config.insert(QStringLiteral("password"), security.password);
    }
    const std::optional<QByteArray> ready = startPythonPeer(
        m_process, {QStringLiteral("-c"), QString::fromLatin1(Script),
                    QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))},
        m_error);
    if (!ready)
        return false;
    m_port = static_cast<quint16>(ready->trimmed().toUInt());
    return m_port != 0;
}

QList<RealSmtpServer::Received> RealSmtpServer::messages()
{
    m_pending += m_process.readAllStandardOutput();
    takeMessages(m_pending, m_messages, &m_tried);
    return m_messages;
}

void RealSmtpServer::takeMessages(QByteArray &pending, QList<Received> &into, QStringList *tried)
{
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QJsonObject line = QJsonDocument::fromJson(pending.left(end)).object();
        pending.remove(0, end + 1);
        // A RCPT line tells an address tried, not a message.
        if (line.contains(QStringLiteral("rcpt"))) {
            if (tried)
                tried->append(line.value(QStringLiteral("rcpt")).toString());
            continue;
        }
        Received received;
        received.mailFrom = line.value(QStringLiteral("from")).toString();
        for (const QJsonValue &to : line.value(QStringLiteral("to")).toArray())
            received.rcptTos.append(to.toString());
        received.data = QByteArray::fromBase64(line.value(QStringLiteral("data")).toString().toLatin1());
        into.append(received);
    }
}

QStringList RealSmtpServer::recipientsTried()
{
    messages();
    return m_tried;
}
