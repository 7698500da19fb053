#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

// Fails the test for every control under root that assistive technology
// could not name: buttons, inputs, lists and grids need an accessible name.
void expectAccessibleNames(QWidget *root);

// What the accessibility bus reads as a widget's name and description.
QString spokenName(QWidget *widget);
QString spokenDescription(QWidget *widget);

// The first element under within (depth first, within excluded) with the
// role and the name, as a screen reader or voice control searches the tree;
// nullptr when there is none.
QAccessibleInterface *findSpoken(QAccessibleInterface *within, QAccessible::Role role, const QString &name);
QAccessibleInterface *findSpoken(QWidget *within, QAccessible::Role role, const QString &name);
