#pragma once
#include "platform/Bitmap.h"

// The system clipboard, in its standard picture format.
bool ClipboardHasBitmap();
// Reads the clipboard's picture; false when it holds none. Alpha is dropped, not blended.
bool ClipboardGetBitmap(Bitmap& out);
// Reads only the top-left maxWidth by maxHeight block of the clipboard's picture, so a huge
// picture is not converted whole when only a corner of it is wanted.
bool ClipboardGetBitmap(Bitmap& out, int maxWidth, int maxHeight);
// Replaces the clipboard's whole contents with the picture.
void ClipboardSetBitmap(const Bitmap& bitmap);
