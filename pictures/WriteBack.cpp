// SPDX-License-Identifier: MIT
#include "pictures/WriteBack.h"

#include <QFile>

#include "pictures/PictureFile.h"
#include "pictures/SafeFile.h"
#include "pictures/SystemFile.h"

TWriteBackResult WritePictureBack(const QString& path, const TRect& block, const Bitmap& chip,
                                  const TWriteBackConsent& consent)
{
    QFile source;
    if (!OpenRegularFile(path, source))
        return {TWriteBackResult::Unreadable};
    // The new file is made only once the chip is known to fit, so a question leaves nothing behind.
    std::unique_ptr<TSafeWriter> writer;
    const TByteSink sink = [&](const char* data, qint64 size) {
        if (!writer)
            writer = std::make_unique<TSafeWriter>(path);
        writer->write(data, size);
    };
    const TWriteBackResult result = IsPngFileName(path) ? WritePngBack(source, block, chip, consent, sink)
                                                        : WriteBmpBack(source, block, chip, consent, sink);
    source.close();
    if (result.kind != TWriteBackResult::Written)
        return result;
    if (!writer || !writer->commit())
        return {TWriteBackResult::CannotWrite};
    return result;
}
