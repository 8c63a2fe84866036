#pragma once
#include <QString>

#include "platform/Bitmap.h"

// Reads a Windows bitmap file. Returns false, leaving out untouched, for a missing or
// unreadable file, anything that is not a BMP (whatever its name) and damaged data.
bool ReadBmpFile(const QString& path, Bitmap& out);

// Writes a 24-bit BMP. An existing file is replaced atomically: a write that fails leaves it
// as it was. Throws EMarloError("ファイル <path> を作成できません") when the file cannot be written.
void WriteBmpFile(const QString& path, const Bitmap& bitmap);
