#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

// Fails the test for every widget under root (root included) that does not
// say what it shows, read through the QAccessible interfaces that screen
// readers and desktop automation reach over the accessibility bus:
// - a label's name is the text it shows (rich text as plain text); a label
//   that shows only a picture has a description;
// - a button's name contains its caption without "&"; a captioned button
//   with a hint has the hint as description; a button showing only a glyph
//   is named by its hint;
// - every input and list has a name, and one that no label names also has a
//   description in plain words;
// - two buttons of one name are told apart by a named box or panel around
//   them;
// - a label that names a control is read before it.
// Parts that Qt builds inside its own controls (a combo box's list, a
// scroll area's bars, a grid's headers) speak through the control.
void expectAccessibleNames(QWidget *root);

// What the accessibility bus reads as a widget's name and description.
QString spokenName(QWidget *widget);
QString spokenDescription(QWidget *widget);

// The first element under within (depth first, within excluded) with the
// role and the name, as a screen reader or voice control searches the tree;
// nullptr when there is none.
QAccessibleInterface *findSpoken(QAccessibleInterface *within, QAccessible::Role role, const QString &name);
QAccessibleInterface *findSpoken(QWidget *within, QAccessible::Role role, const QString &name);
