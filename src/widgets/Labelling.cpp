#include "widgets/Labelling.h"

#include <QLabel>

void labelControl(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(label->text());
    // Screen readers read siblings in stacking order; a label made after its
    // control would otherwise be read after it.
    if (label->parentWidget() && label->parentWidget() == control->parentWidget())
        label->stackUnder(control);
}
