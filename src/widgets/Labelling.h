#pragma once

class QLabel;
class QPushButton;
class QString;
class QWidget;

// Ties a control to the label that names it: the label's shortcut moves the
// focus to it, assistive technology names it by the label's text (Qt derives
// that name for line edits only) and reads the label before it.
void labelControl(QLabel *label, QWidget *control);

// A button named by its caption, as voice control calls it, with its hint as
// tooltip and accessible description; a box around it tells two buttons of
// one caption apart, as it does on the screen.
QPushButton *commandButton(QWidget *parent, const QString &objectName, const QString &caption, const QString &hint);
