#include "widgets/Labelling.h"

#include <QLabel>
#include <QPushButton>

void labelControl(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(label->text());
    // Screen readers read siblings in stacking order; a label made after its
    // control would otherwise be read after it.
    if (label->parentWidget() && label->parentWidget() == control->parentWidget())
        label->stackUnder(control);
}

QPushButton *commandButton(QWidget *parent, const QString &objectName, const QString &caption, const QString &hint)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setToolTip(hint);
    button->setAccessibleDescription(hint);
    return button;
}
