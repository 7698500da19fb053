#include "SmtplibBaseline.h"

#include <QJsonDocument>
#include <QProcess>

namespace {

const char *const Script = R"PY(
import json, smtplib, sys, time
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

mode, port = sys.argv[1], int(sys.argv[2])
if mode == "small":
    count, body = int(sys.argv[3]), sys.argv[4]
    message = ("From: a@bench\r\nTo: b@bench\r\nSubject: bench\r\n\r\n" + body).encode()
    client = smtplib.SMTP("127.0.0.1", port)
    client.helo("bench")
    start = time.perf_counter()
    for _ in range(count):
        client.sendmail("a@bench", ["b@bench"], message)
    elapsed = time.perf_counter() - start
    client.quit()
    print(json.dumps({"seconds": elapsed, "count": count}))
else:
    path, recipients = sys.argv[3], int(sys.argv[4])
    client = smtplib.SMTP("127.0.0.1", port)
    client.helo("bench")
    start = time.perf_counter()
    message = MIMEMultipart()
    message["Subject"] = "bench"
    message.attach(MIMEText("hello"))
    with open(path, "rb") as f:
        part = MIMEApplication(f.read())
    part.add_header("Content-Disposition", "attachment", filename="big.bin")
    message.attach(part)
    data = message.as_bytes()
    built = time.perf_counter()
    client.sendmail("a@bench", ["r%d@bench" % i for i in range(recipients)], data)
    sent = time.perf_counter()
    client.quit()
    print(json.dumps({"build": built - start, "send": sent - built, "seconds": sent - start}))
)PY";

} // namespace

QJsonObject runSmtplib(const QStringList &arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromLatin1(Script)} + arguments);
    if (!python.waitForFinished(600000) || python.exitCode() != 0)
        return {{QStringLiteral("error"), QString::fromUtf8(python.readAllStandardError())}};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}
