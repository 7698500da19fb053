#include "send/MergeTemplate.h"

#include <algorithm>
#include <utility>

int MergeNames::add(const QString &name)
{
    const int known = indexOf(name);
    if (known >= 0)
        return known;
    m_names.append(name);
    m_keys.append(name.toCaseFolded());
    return size() - 1;
}

int MergeNames::indexOf(const QString &name) const
{
    return static_cast<int>(m_keys.indexOf(name.toCaseFolded()));
}

MergeTemplate::MergeTemplate(const QString &text, MergeNames &names) : m_text(text)
{
    // Most messages have no placeholder: they are not looked at again.
    if (m_text.contains(QLatin1String("{{")))
        parse(names);
}

void MergeTemplate::parse(MergeNames &names)
{
    const QString &in = m_text;
    const qsizetype end = in.size();
    auto opensAt = [&in, end](qsizetype i) { return i + 1 < end && in[i] == u'{' && in[i + 1] == u'{'; };
    QString text;
    qsizetype i = 0;
    while (i < end) {
        if (in[i] == u'\\' && opensAt(i + 1)) {
            text += QLatin1String("{{");
            i += 3;
            m_plain = false;
            continue;
        }
        if (!opensAt(i)) {
            text += in[i++];
            continue;
        }
        if (i + 2 < end && in[i + 2] == u'{') {
            text += u'{';
            ++i;
            continue;
        }
        const qsizetype start = i + 2;
        qsizetype close = start;
        while (close < end && close - start <= LongestPlaceholder && in[close] != u'{' && in[close] != u'}')
            ++close;
        const bool closed = close + 1 < end && close - start <= LongestPlaceholder && in[close] == u'}'
                            && in[close + 1] == u'}';
        if (closed && addPlaceholder(in.mid(start, close - start), text, names)) {
            i = close + 2;
            continue;
        }
        ++m_stray;
        text += QLatin1String("{{");
        i = start;
    }
    if (!m_plain)
        m_pieces.append(Piece{text, -1, {}, false});
}

bool MergeTemplate::addPlaceholder(QString inner, QString &text, MergeNames &names)
{
    inner.remove(u'\n');
    const qsizetype bar = inner.indexOf(u'|');
    const QString name = (bar < 0 ? inner : inner.left(bar)).simplified();
    if (name.isEmpty())
        return false;
    Piece piece{std::exchange(text, QString()), names.add(name), {}, bar >= 0};
    if (piece.hasDefault)
        piece.fallback = inner.mid(bar + 1);
    m_pieces.append(std::move(piece));
    m_plain = false;
    return true;
}

QString MergeTemplate::render(const QStringList &values) const
{
    if (m_plain)
        return m_text;
    QString out;
    out.reserve(m_text.size() + 64);
    for (const Piece &piece : m_pieces) {
        out += piece.text;
        if (piece.name < 0)
            continue;
        const QString value = values.value(piece.name);
        out += value.isEmpty() && piece.hasDefault ? piece.fallback : value;
    }
    return out;
}

bool MergeTemplate::needsValue(int index) const
{
    return std::any_of(m_pieces.cbegin(), m_pieces.cend(),
                       [index](const Piece &piece) { return piece.name == index && !piece.hasDefault; });
}
