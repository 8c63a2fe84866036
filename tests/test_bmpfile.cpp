// Reading and writing BMP files: the reference corpus, hostile input and safe saving.
#include <QtTest>

#include "TestSupport.h"
#include "platform/BmpFile.h"
#include "platform/Errors.h"

namespace {

Bitmap pattern(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, RGBColor(x * 7, y * 13, (x ^ y) * 5));
    return b;
}

QByteArray bmpHeader(int32_t w, int32_t h, uint16_t bits, uint32_t dataOffset = 54)
{
    QByteArray d(54, '\0');
    uchar* p = reinterpret_cast<uchar*>(d.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(dataOffset, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(w, p + 18);
    qToLittleEndian<qint32>(h, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(bits, p + 28);
    return d;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

class BmpFileTest : public QObject {
    Q_OBJECT
private slots:
    void validFilesMatchTheirReferencePixelForPixel_data();
    void validFilesMatchTheirReferencePixelForPixel();
    void questionableAndBadFilesNeverCrash_data();
    void questionableAndBadFilesNeverCrash();
    void hostileFilesAreRefused_data();
    void hostileFilesAreRefused();
    void savedFilesLoadBackExactly_data();
    void savedFilesLoadBackExactly();
    void savedFilesOpenInAnotherReader();
    void failedSaveKeepsTheOldFileAndSaysWhy();
    void saveReplacesAnExistingFile();
};

void BmpFileTest::validFilesMatchTheirReferencePixelForPixel_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reference");
    const QString table = SharedPath("bmpsuite/expected.tsv");
    if (table.isEmpty())
        QSKIP("the BMP corpus is not beside the project");
    QFile f(table);
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cols = line.split('\t');
        QCOMPARE(cols.size(), 2);
        QTest::newRow(qPrintable(cols[0])) << SharedPath("bmpsuite/" + cols[0])
                                           << SharedPath("bmpsuite/reference/" + cols[1]);
    }
}

void BmpFileTest::validFilesMatchTheirReferencePixelForPixel()
{
    QFETCH(QString, file);
    QFETCH(QString, reference);
    Bitmap loaded;
    QVERIFY(ReadBmpFile(file, loaded));
    const Bitmap expected = Bitmap::fromImage(QImage(reference));
    QCOMPARE(loaded.width(), expected.width());
    QCOMPARE(loaded.height(), expected.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (loaded.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel (%1,%2) is %3, expected %4")
                                     .arg(x).arg(y)
                                     .arg(loaded.pixel(x, y), 6, 16, QChar('0'))
                                     .arg(expected.pixel(x, y), 6, 16, QChar('0'))));
}

void BmpFileTest::questionableAndBadFilesNeverCrash_data()
{
    QTest::addColumn<QString>("file");
    if (SharedPath("bmpsuite").isEmpty())
        QSKIP("the BMP corpus is not beside the project");
    for (const QString folder : {"q", "b"}) {
        const QDir dir(SharedPath("bmpsuite/" + folder));
        for (const QString& name : dir.entryList({"*.bmp"}, QDir::Files))
            QTest::newRow(qPrintable(folder + "/" + name)) << dir.filePath(name);
    }
}

void BmpFileTest::questionableAndBadFilesNeverCrash()
{
    QFETCH(QString, file);
    Bitmap loaded;
    if (ReadBmpFile(file, loaded)) {
        QVERIFY(loaded.width() >= 0 && loaded.height() >= 0);
        loaded.pixel(loaded.width() - 1, loaded.height() - 1);
    } else {
        QVERIFY(loaded.isEmpty());
    }
}

void BmpFileTest::hostileFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    QTest::newRow("png named bmp") << png;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("BM this is not a bitmap at all");
    QTest::newRow("header only") << bmpHeader(16, 16, 24);
    QTest::newRow("huge picture") << bmpHeader(100000, 100000, 24) + QByteArray(64, '\x7f');
    QTest::newRow("overflowing size") << bmpHeader(0x7fffffff, 0x7fffffff, 32) + QByteArray(64, '\x7f');
    QTest::newRow("negative width") << bmpHeader(-16, 16, 24) + QByteArray(16 * 16 * 3, '\0');
    QTest::newRow("truncated rows") << bmpHeader(64, 64, 24) + QByteArray(100, '\0');
    QTest::newRow("data offset past the end") << bmpHeader(2, 2, 24, 0x7ffffff0) + QByteArray(16, '\0');
}

void BmpFileTest::hostileFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "hostile.bmp", bytes);
    QVERIFY(!path.isEmpty());
    Bitmap loaded(3, 3);
    QVERIFY(!ReadBmpFile(path, loaded));
    QCOMPARE(loaded.width(), 3); // untouched
    QVERIFY(!ReadBmpFile(dir.filePath("missing.bmp"), loaded));
}

void BmpFileTest::savedFilesLoadBackExactly_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("32x32") << 32 << 32;
    QTest::newRow("odd width pads rows") << 13 << 5;
    QTest::newRow("256x256") << 256 << 256;
    QTest::newRow("1x1") << 1 << 1;
    QTest::newRow("no pixels") << 0 << 0;
    QTest::newRow("no columns") << 0 << 7;
}

void BmpFileTest::savedFilesLoadBackExactly()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QTemporaryDir dir;
    const Bitmap chip = pattern(w, h);
    const QString path = dir.filePath("chip.bmp");
    WriteBmpFile(path, chip);
    Bitmap loaded(9, 9);
    QVERIFY(ReadBmpFile(path, loaded));
    if (chip.isEmpty())
        QVERIFY(loaded.isEmpty());
    else
        QVERIFY(loaded == chip);
}

void BmpFileTest::savedFilesOpenInAnotherReader()
{
    // Debian's own interpreter, which is the one that python3-pil serves.
    QString python = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("no python3");
    QProcess probe;
    probe.start(python, {"-c", "import PIL"});
    probe.waitForFinished();
    if (probe.exitCode() != 0)
        QSKIP("Python PIL is not installed");
    QTemporaryDir dir;
    const Bitmap chip = pattern(13, 7);
    const QString path = dir.filePath("chip.bmp");
    WriteBmpFile(path, chip);
    QProcess pil;
    pil.start(python, {"-c",
                       "import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]).convert('RGB')\n"
                       "print(im.size[0], im.size[1])\n"
                       "for y in range(im.size[1]):\n"
                       "  print(' '.join('%02x%02x%02x' % im.getpixel((x, y)) for x in range(im.size[0])))",
                       path});
    QVERIFY(pil.waitForFinished(30000));
    QCOMPARE(pil.exitCode(), 0);
    const QStringList lines = QString::fromLatin1(pil.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("13 7"));
    for (int y = 0; y < 7; ++y) {
        const QStringList px = lines.value(y + 1).split(' ');
        for (int x = 0; x < 13; ++x) {
            const TColor c = chip.pixel(x, y);
            QCOMPARE(px.value(x), QString::asprintf("%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }
}

void BmpFileTest::failedSaveKeepsTheOldFileAndSaysWhy()
{
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath("no/such/folder/chip.bmp");
    try {
        WriteBmpFile(missingFolder, pattern(4, 4));
        QFAIL("saving into a missing folder succeeded");
    } catch (const EMarloError& e) {
        QCOMPARE(e.message(), QStringLiteral("ファイル %1 を作成できません").arg(missingFolder));
    }
    if (getuid() == 0)
        return; // root writes into read-only folders; the rest needs an ordinary user
    const QString path = dir.filePath("keep.bmp");
    WriteBmpFile(path, pattern(4, 4));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QVERIFY_THROWS_EXCEPTION(EMarloError, WriteBmpFile(path, pattern(8, 8)));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Bitmap loaded;
    QVERIFY(ReadBmpFile(path, loaded));
    QVERIFY(loaded == pattern(4, 4));
}

void BmpFileTest::saveReplacesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("chip.bmp");
    WriteBmpFile(path, pattern(20, 20));
    WriteBmpFile(path, pattern(3, 2));
    Bitmap loaded;
    QVERIFY(ReadBmpFile(path, loaded));
    QVERIFY(loaded == pattern(3, 2));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left behind
}

QTEST_GUILESS_MAIN(BmpFileTest)
#include "test_bmpfile.moc"
