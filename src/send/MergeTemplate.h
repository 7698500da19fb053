#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The names a message's placeholders use, each once: "{{town}}" and
// "{{Town}}" are one name, spelt as it was first typed.
class MergeNames
{
public:
    // The index of the name, added when it is new.
    int add(const QString &name);
    // -1 when no placeholder uses the name.
    int indexOf(const QString &name) const;
    const QStringList &names() const { return m_names; }
    int size() const { return static_cast<int>(m_names.size()); }

private:
    QStringList m_names;
    QStringList m_keys; // case-folded
};

// A text with placeholders, parsed once and written out per member.
// "{{Name}}" writes the member's value of Name, "{{Town|friend}}" writes
// "friend" where the value is empty, and "\{{" writes two braces. A
// placeholder may run over the end of a line (a displayed row wraps where it
// likes): the line break inside it goes, and the rows are one line again.
// A "{{" that no "}}" closes within a placeholder's length, or whose name is
// empty, is text; stray() counts them, so a run can say so before anyone gets
// one. Of three or more braces, the last two open the placeholder.
class MergeTemplate
{
public:
    // A placeholder longer than this between its braces is not one.
    static constexpr qsizetype LongestPlaceholder = 200;

    MergeTemplate() = default;
    // The names the text uses go into names.
    MergeTemplate(const QString &text, MergeNames &names);

    // Neither placeholders nor escapes: the text renders as itself.
    bool isPlain() const { return m_plain; }
    const QString &text() const { return m_text; }
    // values[i] is the member's value of names()[i]; a missing one is empty.
    QString render(const QStringList &values) const;

    // The "{{" that open no placeholder.
    int stray() const { return m_stray; }
    // Whether a placeholder of name `index` has no default, so that an empty
    // value writes nothing.
    bool needsValue(int index) const;

private:
    struct Piece
    {
        QString text; // written before the placeholder
        int name = -1; // -1: text alone
        QString fallback;
        bool hasDefault = false;
    };
    void parse(MergeNames &names);
    // A placeholder's text between its braces; false when it names nothing.
    bool addPlaceholder(QString inner, QString &text, MergeNames &names);

    QString m_text;
    QList<Piece> m_pieces;
    bool m_plain = true;
    int m_stray = 0;
};
