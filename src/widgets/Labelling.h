#pragma once

class QLabel;
class QWidget;

// Ties a control to the label that names it: the label's shortcut moves the
// focus to it, assistive technology names it by the label's text (Qt derives
// that name for line edits only) and reads the label before it.
void labelControl(QLabel *label, QWidget *control);
