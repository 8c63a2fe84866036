#include "platform/Pointer.h"

#include <QCursor>
#include <QWidget>

void SetPointerPos(QWidget* control, TPoint clientPoint)
{
    QCursor::setPos(control->mapToGlobal(QPoint(clientPoint.X, clientPoint.Y)));
}
