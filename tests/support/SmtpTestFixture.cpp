#include "support/SmtpTestFixture.h"

#include <cstring>

SmtpTest::SmtpTest()
{
    wire(client);
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = server.portText();
}

void SmtpClientSetup::wire(TSmtpClient &client)
{
    client.setWait(&wait);
    client.TimeOut = 400;
    client.SignOn = QStringLiteral("corvane.test");
    client.FromName = QStringLiteral("sender@corvane.test");
    client.RcptName = {QStringLiteral("rcpt@corvane.test")};
    client.OnDisplay = [this](TCustomSmtpClient *, const QString &text) { shown.append(text); };
    client.OnGetData = [this](TCustomSmtpClient *, qint32 lineNum, char *line, qint32 maxLen, bool &more) {
        lineNums.append(lineNum);
        if (lineNum > body.size()) {
            more = false;
            return;
        }
        const QByteArray text = body.at(lineNum - 1).toUtf8().left(maxLen - 1);
        std::memcpy(line, text.constData(), static_cast<size_t>(text.size()));
        line[text.size()] = '\0';
    };
}

QList<QByteArray> SmtpTest::messageLines(int n) const
{
    const QList<QByteArray> messages = server.messages();
    if (n >= messages.size())
        return {};
    QList<QByteArray> lines = messages.at(n).split('\n');
    lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(1);
    return lines;
}

QList<QByteArray> SmtpTest::headerLines(int n) const
{
    const QList<QByteArray> lines = messageLines(n);
    return lines.mid(0, lines.indexOf(QByteArray()));
}

QList<QByteArray> SmtpTest::bodyLines(int n) const
{
    const QList<QByteArray> lines = messageLines(n);
    return lines.mid(lines.indexOf(QByteArray()) + 1);
}
