// SPDX-License-Identifier: MIT
#include "pictures/BmpFile.h"

#include <QFile>

#include "pictures/BmpReader.h"
#include "pictures/BmpWriter.h"
#include "pictures/Errors.h"
#include "pictures/PictureData.h"
#include "pictures/SafeFile.h"
#include "pictures/SystemFile.h"

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
