// Selection tool.
#include "document/Childwin.h"
#include "tools/UEditerData.h"

void TMDIChild::BeginSelect(int, int) {}
void TMDIChild::DragSelect(int, int) {}
void TMDIChild::EndSelect() {}
