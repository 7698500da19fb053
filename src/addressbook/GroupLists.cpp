#include "addressbook/GroupLists.h"

#include "addressbook/GroupNames.h"

#include <QComboBox>
#include <QListWidget>

namespace {

void fillKeepingChoice(QComboBox *box, const QStringList &names)
{
    const QString chosen = box->currentText();
    const bool typed = box->isEditable();
    box->clear();
    box->addItems(names);
    const int row = chosen.isEmpty() ? -1 : static_cast<int>(names.indexOf(chosen));
    box->setCurrentIndex(row);
    if (row < 0 && typed)
        box->setEditText(chosen);
}

void fillKeepingChoice(QListWidget *list, const QStringList &names)
{
    QStringList chosen;
    for (const QListWidgetItem *item : list->selectedItems())
        chosen.append(item->text());
    list->clear();
    list->addItems(names);
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(chosen.contains(list->item(i)->text()));
}

template <typename Control>
void keepShown(Control *control, TGroupNames *names)
{
    QObject::connect(names, &TGroupNames::changed, control, [control, names] { fillKeepingChoice(control, names->Names()); });
}

}

namespace GroupLists {

void show(QComboBox *box, TGroupNames *names)
{
    refill(box, names);
    keepShown(box, names);
}

void show(QListWidget *list, TGroupNames *names)
{
    list->clear();
    list->addItems(names->Names());
    keepShown(list, names);
}

void refill(QComboBox *box, TGroupNames *names)
{
    box->clear();
    box->addItems(names->Names());
    box->setCurrentIndex(-1);
}

}
