#include "widgets/EditMask.h"

#include <QHash>

namespace {

// The field mask's input characters and Qt's for the same input. Note the
// digits: a field mask's 0 is a digit that must be typed and 9 one that may
// be left out; Qt has them the other way round.
const QHash<QChar, QChar> &inputCharacters()
{
    static const QHash<QChar, QChar> map{
        {u'L', u'A'}, {u'l', u'a'}, {u'A', u'N'}, {u'a', u'n'}, {u'C', u'X'},
        {u'c', u'x'}, {u'0', u'9'}, {u'9', u'0'}, {u'#', u'#'},
    };
    return map;
}

// Characters Qt reads as mask characters: as literals they are escaped.
bool specialToQt(QChar c)
{
    return QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\;").contains(c);
}

}

namespace EditMask {

QString toInputMask(const QString &fieldMask)
{
    const QStringList parts = fieldMask.split(u';');
    const QString mask = parts.value(0);
    if (mask.isEmpty())
        return {};
    QString qt;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c == u'!')
            continue; // where optional blanks go; Qt keeps them in place
        if (c == u'<' && mask.mid(i, 2) == QLatin1String("<>")) {
            qt += u'!';
            ++i;
        } else if (c == u'<' || c == u'>') {
            qt += c;
        } else if (c == u'\\' && i + 1 < mask.size()) {
            qt += u'\\';
            qt += mask[++i];
        } else if (inputCharacters().contains(c)) {
            qt += inputCharacters().value(c);
        } else if (c == u'_') {
            qt += u' '; // a space in the text
        } else {
            if (specialToQt(c))
                qt += u'\\';
            qt += c;
        }
    }
    const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral(" ");
    return qt + u';' + blank;
}

bool isBlank(const QString &maskedText)
{
    for (const QChar c : maskedText) {
        if (c.isLetterOrNumber())
            return false;
    }
    return true;
}

}
