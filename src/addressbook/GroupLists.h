#pragma once

class QComboBox;
class QListWidget;
class TGroupNames;

// Shows group names in a dialog's box or list and keeps them current as the
// groups change: what the user chose stays chosen while its group exists,
// and text typed into an editable box stays as typed.
namespace GroupLists {
void show(QComboBox *box, TGroupNames *names);
void show(QListWidget *list, TGroupNames *names);
// Fills the box afresh, nothing chosen.
void refill(QComboBox *box, TGroupNames *names);
}
