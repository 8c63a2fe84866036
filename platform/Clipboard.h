#pragma once
#include "platform/Bitmap.h"

// The system clipboard, in its standard picture format.
bool ClipboardHasBitmap();
// Reads the clipboard's picture; false when it holds none. Alpha is dropped, not blended.
bool ClipboardGetBitmap(Bitmap& out);
// Replaces the clipboard's whole contents with the picture.
void ClipboardSetBitmap(const Bitmap& bitmap);
