#pragma once

#include <QStringList>

class QPlainTextEdit;

// The text boxes of the mailer wrap long lines at their width. Their text is
// taken as lines the way the box displays them: a paragraph wider than the
// box gives one line per displayed row, split where the box wraps it.
namespace DisplayedLines {

// The displayed rows of the box. A last row that is empty (the caret's row
// after a final line break) is not a line, so an empty box has no lines.
QStringList of(QPlainTextEdit *box);

// Replaces the box's text with the lines, each a paragraph of its own; as
// after reading a file, the caret ends on a fresh row after the last line.
// A word of more than a thousand characters (that the box can only wrap
// anywhere) becomes paragraphs of a thousand characters each, so loading
// takes time in proportion to the text.
void put(QPlainTextEdit *box, const QStringList &lines);

// The lines as put() lays them into paragraphs.
QStringList withLongWordsCut(const QStringList &lines);

}
