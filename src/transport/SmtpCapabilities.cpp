#include "transport/SmtpCapabilities.h"

#include <QRegularExpression>

TSmtpCapabilities::TSmtpCapabilities(const QStringList &replyLines)
{
    static const QRegularExpression separators(QStringLiteral("[\\s=]+"));
    // The first line greets; the text of each line starts after "250-".
    for (qsizetype i = 1; i < replyLines.size(); ++i) {
        QStringList words = replyLines.at(i).mid(4).toUpper().split(separators, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        QStringList &parameters = m_offered[words.takeFirst()];
        for (const QString &word : std::as_const(words)) {
            if (!parameters.contains(word))
                parameters.append(word);
        }
    }
}
