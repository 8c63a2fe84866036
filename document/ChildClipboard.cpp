// Clipboard exchange.
#include "document/Childwin.h"
#include "tools/UEditerData.h"

void TMDIChild::CopyToClipboard() {}
void TMDIChild::PasteFromClipboard() {}
