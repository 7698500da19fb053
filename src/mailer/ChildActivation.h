#pragma once

#include <functional>

class QMdiArea;
class QWidget;

// Calls activated each time the frame of child becomes the active child of
// area in place of another child or of none, as a child form's activation.
// The active child staying active while the user visits another program does
// not count as a new activation.
void onChildActivated(QWidget *child, QMdiArea *area, std::function<void()> activated);
