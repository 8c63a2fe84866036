// SPDX-License-Identifier: MIT
#pragma once
#include "pictures/Bitmap.h"

// The system clipboard, in its standard picture formats.
bool ClipboardHasBitmap();
// Reads only the top-left maxWidth by maxHeight block of the clipboard's picture, so a huge
// picture is not converted whole when only a corner of it is wanted, with the alpha it offers; a
// picture without alpha is opaque. False when the clipboard offers no picture; throws EMarloError when it offers one that
// cannot be read (damaged, cut short, empty or beyond any screen's size).
bool ClipboardGetBitmap(Bitmap& out, int maxWidth, int maxHeight);
// Replaces the clipboard's whole contents with the picture, offered with its alpha where it has
// any: PNG among the formats on X11 and Wayland, PNG and a V5 bitmap on Windows.
void ClipboardSetBitmap(const Bitmap& bitmap);
