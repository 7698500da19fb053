#include "mailer/DisplayedLines.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

namespace DisplayedLines {

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

void put(QPlainTextEdit *box, const QStringList &lines)
{
    box->setPlainText(lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n');
}

}
