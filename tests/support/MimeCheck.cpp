#include "support/MimeCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

const char *const Script = R"PY(
import sys, json, base64, re, email, email.policy
from email.header import decode_header, make_header
def text(value):
    if value is None:
        return ""
    # Unfolded as RFC 5322 says: a line break before a blank is taken out.
    return str(make_header(decode_header(re.sub(r"\r?\n(?=[ \t])", "", value))))
def parse(data):
    msg = email.message_from_bytes(data, policy=email.policy.compat32)
    parts = []
    for part in (msg.walk() if msg.is_multipart() else [msg]):
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        charset = part.get_content_charset()
        parts.append({
            "type": part.get_content_type(),
            "filename": part.get_filename() or "",
            "payload": base64.b64encode(payload).decode(),
            "text": payload.decode(charset) if charset else "",
        })
    strict = email.message_from_bytes(data, policy=email.policy.default)
    defects = [f"message: {d!r}" for d in strict.defects]
    def header(name):
        value = strict[name]
        if value is not None:
            defects.extend(f"{name}: {d!r}" for d in value.defects)
        return value
    def addresses(name):
        value = header(name)
        return [{"name": a.display_name, "address": a.addr_spec} for a in value.addresses] if value is not None else []
    date = header("Date")
    when = date.datetime if date is not None else None
    aware = when is not None and when.utcoffset() is not None
    message_id = header("Message-ID")
    lists = {name: str(header(name) or "") for name in ("List-Id", "List-Unsubscribe", "List-Unsubscribe-Post")}
    return {"subject": text(msg["Subject"]), "from": text(msg["From"]),
            "multipart": msg.is_multipart(), "parts": parts, "defects": len(msg.defects),
            "fromAddresses": addresses("From"), "toAddresses": addresses("To"),
            "date": when.isoformat() if aware else "", "messageId": str(message_id or ""), "lists": lists,
            "headerDefects": defects}
# Many messages at once: a JSON list of base64 texts in, a list of readings out.
messages = [base64.b64decode(m) for m in json.load(sys.stdin)]
json.dump([parse(m) for m in messages], sys.stdout)
)PY";

QList<ParsedMessage::Address> addressList(const QJsonValue &value)
{
    QList<ParsedMessage::Address> result;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonObject address = entry.toObject();
        result.append({address.value(QStringLiteral("name")).toString(), address.value(QStringLiteral("address")).toString()});
    }
    return result;
}

} // namespace

ParsedMessage parseWithPython(const QByteArray &message)
{
    return parseAllWithPython({message}).value(0);
}

QList<ParsedMessage> parseAllWithPython(const QList<QByteArray> &messages)
{
    auto failed = [&messages](const QString &error) {
        ParsedMessage parsed;
        parsed.error = error;
        return QList<ParsedMessage>(messages.size(), parsed);
    };
    QJsonArray input;
    for (const QByteArray &message : messages)
        input.append(QString::fromLatin1(message.toBase64()));
    QProcess python;
    python.start(QStringLiteral(CORVANE_PYTHON), {QStringLiteral("-c"), QString::fromLatin1(Script)});
    if (!python.waitForStarted(10000))
        return failed(QStringLiteral("python3 did not start"));
    python.write(QJsonDocument(input).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    if (!python.waitForFinished(30000 + 100 * static_cast<int>(messages.size())) || python.exitCode() != 0)
        return failed(QString::fromUtf8(python.readAllStandardError()));
    QList<ParsedMessage> result;
    for (const QJsonValue &reading : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        const QJsonObject root = reading.toObject();
        ParsedMessage parsed;
        parsed.subject = root.value(QStringLiteral("subject")).toString();
        parsed.from = root.value(QStringLiteral("from")).toString();
        parsed.multipart = root.value(QStringLiteral("multipart")).toBool();
        for (const QJsonValue &value : root.value(QStringLiteral("parts")).toArray()) {
            const QJsonObject part = value.toObject();
            parsed.parts.append({part.value(QStringLiteral("type")).toString(),
                                 part.value(QStringLiteral("filename")).toString(),
                                 QByteArray::fromBase64(part.value(QStringLiteral("payload")).toString().toLatin1()),
                                 part.value(QStringLiteral("text")).toString()});
        }
        parsed.fromAddresses = addressList(root.value(QStringLiteral("fromAddresses")));
        parsed.toAddresses = addressList(root.value(QStringLiteral("toAddresses")));
        parsed.date = QDateTime::fromString(root.value(QStringLiteral("date")).toString(), Qt::ISODate);
        parsed.messageId = root.value(QStringLiteral("messageId")).toString();
        const QJsonObject lists = root.value(QStringLiteral("lists")).toObject();
        parsed.listId = lists.value(QStringLiteral("List-Id")).toString();
        parsed.listUnsubscribe = lists.value(QStringLiteral("List-Unsubscribe")).toString();
        parsed.listUnsubscribePost = lists.value(QStringLiteral("List-Unsubscribe-Post")).toString();
        for (const QJsonValue &defect : root.value(QStringLiteral("headerDefects")).toArray())
            parsed.headerDefects.append(defect.toString());
        parsed.ok = root.value(QStringLiteral("defects")).toInt() == 0;
        if (!parsed.ok)
            parsed.error = QStringLiteral("the parser found defects");
        result.append(parsed);
    }
    if (result.size() != messages.size())
        return failed(QStringLiteral("python3 read %1 of %2 messages").arg(result.size()).arg(messages.size()));
    return result;
}

std::ostream &operator<<(std::ostream &out, const ParsedMessage::Address &address)
{
    return out << '"' << address.name.toStdString() << "\" <" << address.address.toStdString() << '>';
}
