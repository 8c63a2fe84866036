// Move tool and the pen's Ctrl scroll.
#include "document/Childwin.h"
#include "tools/UEditerData.h"

void TMDIChild::BeginMove(int, int) {}
void TMDIChild::DragMove(int, int) {}
void TMDIChild::DrawMoved(int, int) {}
void TMDIChild::CommitMove() {}
void TMDIChild::BeginScroll(int, int) {}
void TMDIChild::ScrollMove(int, int) {}
void TMDIChild::EndScroll() {}
