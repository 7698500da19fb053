#include "mailer/ChildActivation.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <memory>

void onChildActivated(QWidget *child, QMdiArea *area, std::function<void()> activated)
{
    auto lastActive = std::make_shared<QPointer<QMdiSubWindow>>();
    QObject::connect(area, &QMdiArea::subWindowActivated, child,
                     [child, lastActive, activated = std::move(activated)](QMdiSubWindow *frame) {
                         if (!frame)
                             return;
                         const bool again = lastActive->data() == frame;
                         *lastActive = frame;
                         if (!again && frame->widget() == child)
                             activated();
                     });
}
