// Pointer dispatch of the chip view, pen strokes and loop mode.
#include "document/Childwin.h"
#include "tools/UEditerData.h"

void TMDIChild::FFrontImgMouseDown(TMouseButton, TShiftState, int, int) {}
void TMDIChild::FFrontImgMouseMove(TShiftState, int, int) {}
void TMDIChild::FFrontImgMouseUp(TMouseButton, TShiftState, int, int) {}
void TMDIChild::BeginStroke(int, int) {}
void TMDIChild::PenMove(int, int) {}
void TMDIChild::DrawSegment(TPoint, TPoint) {}
void TMDIChild::DrawPenSegment(TPoint, TPoint) {}
void TMDIChild::BuildLinePts(int, int, int, int) {}
void TMDIChild::BlendPixel(int, int, uint8_t) {}
void TMDIChild::PickColor(int, int) {}
