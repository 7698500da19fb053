#pragma once

class QWidget;

// Fails the test for every control under root that assistive technology
// could not name: buttons, inputs, lists and grids need an accessible name.
void expectAccessibleNames(QWidget *root);
