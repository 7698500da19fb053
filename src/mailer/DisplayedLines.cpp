#include "mailer/DisplayedLines.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>

namespace DisplayedLines {

namespace {

// The box wraps a word longer than a row anywhere, but finds that out anew
// for each row, so its time grows with the square of the word. A word this
// long is cut into paragraphs of this many characters before it goes in;
// each wraps as before, and only the last row of each piece is shorter.
constexpr qsizetype LongestWord = 1000;

} // namespace

QStringList of(QPlainTextEdit *box)
{
    QTextDocument *document = box->document();
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // Asking for the block's extent lays it out at the box's width, also
        // when it has never been on screen.
        layout->blockBoundingRect(block);
        const QString text = block.text();
        const QTextLayout *rows = block.layout();
        if (!rows || rows->lineCount() == 0) {
            lines.append(text);
            continue;
        }
        for (int i = 0; i < rows->lineCount(); ++i) {
            const QTextLine row = rows->lineAt(i);
            lines.append(text.mid(row.textStart(), row.textLength()));
        }
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList withLongWordsCut(const QStringList &lines)
{
    QStringList paragraphs;
    for (const QString &line : lines) {
        if (line.size() <= LongestWord) {
            paragraphs.append(line);
            continue;
        }
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, line);
        qsizetype start = 0;     // of the paragraph being cut out
        qsizetype lastBreak = 0; // where the box could wrap
        for (qsizetype i = 1; i < line.size(); ++i) {
            breaks.setPosition(i);
            if (breaks.isAtBoundary())
                lastBreak = i;
            else if (i - std::max(lastBreak, start) >= LongestWord && !line.at(i).isLowSurrogate()) {
                paragraphs.append(line.mid(start, i - start));
                start = i;
            }
        }
        paragraphs.append(line.mid(start));
    }
    return paragraphs;
}

void put(QPlainTextEdit *box, const QStringList &lines)
{
    const QStringList paragraphs = withLongWordsCut(lines);
    box->setPlainText(paragraphs.isEmpty() ? QString() : paragraphs.join(u'\n') + u'\n');
}

}
