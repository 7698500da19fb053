#pragma once

#include <QString>
#include <QStringList>

class TSuppressionList;

// What the suppression window does to the list, without the window: adds the
// addresses of typed or pasted text and of text files (picked out by the
// import's tokenizer), removes and exports.
class TSuppressionEditor
{
public:
    // The first line of an exported list; a file that begins with it is read
    // back by its first column only, so an address in a detail is not taken.
    static const QString ExportHeader;

    explicit TSuppressionEditor(TSuppressionList &list) : m_list(list) {}

    // The addresses of the lines, each once, in order: every token with an at
    // sign, less the "<", ">", "mailto:" and ";" of a mail client's copy.
    static QStringList AddressesIn(const QStringList &lines);

    struct Added
    {
        int found = 0; // addresses in the text
        int added = 0; // of them, not on the list before
    };
    // Added by hand, in one transaction. Throws EDatabaseError.
    Added AddText(const QString &text);
    // False with error set when the file cannot be read; nothing is added then.
    bool ImportFile(const QString &path, Added &added, QString &error);
    // In one transaction; the number that were on the list.
    int Remove(const QStringList &addresses);
    // The list as comma-delimited lines under ExportHeader, written to a
    // temporary file that then replaces path. False with error set when it
    // cannot be written; an earlier file stays as it was.
    bool Export(const QString &path, QString &error) const;

    // One line of the window, for the user: "3 of 4 addresses added; 1 was on
    // the list already." and the like.
    static QString Summary(const Added &added);

private:
    Added add(const QStringList &lines);

    TSuppressionList &m_list;
};
