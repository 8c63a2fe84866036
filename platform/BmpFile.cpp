// SPDX-License-Identifier: MIT
#include "platform/BmpFile.h"

#include <QFile>

#include "platform/BmpReader.h"
#include "platform/BmpWriter.h"
#include "platform/Errors.h"
#include "platform/PictureData.h"
#include "platform/SafeFile.h"
#include "platform/SystemFile.h"

bool ReadBmpFile(const QString& path, Bitmap& out, int maxWidth, int maxHeight)
{
    QFile file;
    return OpenRegularFile(path, file) && DecodeBmp(file, maxWidth, maxHeight, out);
}

void WriteBmpFile(const QString& path, const Bitmap& bitmap)
{
    if (!ReplaceFileContents(path, BmpFileOfDib(DibOfBitmap(bitmap))))
        throw CannotCreateFileError(path);
}
