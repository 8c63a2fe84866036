// SPDX-License-Identifier: MIT
// Saving BMP files: a save either writes the whole file and then replaces the old one, or says
// why not and leaves the old file byte for byte.
#include <QtTest>

#include "TestSupport.h"
#include "pictures/BmpFile.h"
#include "pictures/Errors.h"
#include "pictures/PictureFile.h"
#include "pictures/SafeFile.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

QString saveError(const QString& path) { return QStringLiteral("ファイル %1 を作成できません").arg(path); }

// Saves, expecting the program's error. Returns the error's text, or what went wrong instead.
QString failingSave(const QString& path, const Bitmap& chip)
{
    try {
        WritePictureFile(path, chip);
    } catch (const EMarloError& e) {
        return e.message();
    }
    return QStringLiteral("the save succeeded");
}

#ifdef Q_OS_LINUX
// A small file system of its own, mounted for one test when the test may mount.
class SmallDisk {
public:
    explicit SmallDisk(const QString& size)
    {
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           QByteArray("size=" + size.toLatin1()).constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // Takes every free byte left, so the next write meets a full disk.
    void fill() const
    {
        QFile filler(filePath(".filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write(block.left(1)) == 1) {
        }
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};
#endif

} // namespace

class BmpSaveTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetFileWriteFault({}); }

    void saveReplacesAnExistingFile();
    void failedSaveKeepsTheOldFileAndSaysWhy_data();
    void failedSaveKeepsTheOldFileAndSaysWhy();
    void everyFailingStepKeepsTheOldFile_data();
    void everyFailingStepKeepsTheOldFile();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
};

void BmpSaveTest::saveReplacesAnExistingFile()
{
    QTemporaryDir dir;
    // A name beyond ASCII, as Japanese users give: Windows takes it only through its wide calls.
    const QString path = dir.filePath(QStringLiteral("チップ 1.bmp"));
    WriteBmpFile(path, NumberedBitmap(20, 20));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    WriteBmpFile(path, NumberedBitmap(3, 2));
    Bitmap loaded;
    QVERIFY(ReadBmpFile(path, loaded, kMaxChipSide, kMaxChipSide));
    QVERIFY(loaded == NumberedBitmap(3, 2));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left behind
#ifndef Q_OS_WIN // where a file's rights are its mode bits
    QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::ReadUser | QFile::WriteOwner | QFile::WriteUser | QFile::ReadOther);
#endif

#ifndef Q_OS_WIN // where a shortcut is a file of its own, not a link the system follows
    // Saving through a link replaces the file it points to and keeps the link.
    const QString link = dir.filePath("link.bmp");
    QVERIFY(QFile::link(path, link));
    WriteBmpFile(link, NumberedBitmap(5, 5));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(ReadBmpFile(path, loaded, kMaxChipSide, kMaxChipSide));
    QVERIFY(loaded == NumberedBitmap(5, 5));
#endif
}

// The system refuses the save: the error says so, and the old file stays as it was.
void BmpSaveTest::failedSaveKeepsTheOldFileAndSaysWhy_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::newRow("missing folder") << "missing folder";
#ifdef Q_OS_WIN
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("file in use by another program") << "in use";
#else
    QTest::newRow("read-only folder") << "read-only folder";
#endif
}

void BmpSaveTest::failedSaveKeepsTheOldFileAndSaysWhy()
{
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    if (refusal == "missing folder") {
        const QString missingFolder = dir.filePath("no/such/folder/chip.bmp");
        QCOMPARE(failingSave(missingFolder, NumberedBitmap(4, 4)), saveError(missingFolder));
        return;
    }
#ifndef Q_OS_WIN
    if (getuid() == 0)
        QSKIP("root writes into read-only folders; this needs an ordinary user");
#endif
    const QString path = dir.filePath("keep.bmp");
    WriteBmpFile(path, NumberedBitmap(4, 4));
    const QByteArray old = contents(path);
    const QFile::Permissions rights = QFile::permissions(path);
    if (refusal == "read-only folder")
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (refusal == "read-only file")
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadOther);
    {
        // Open as another program holds it: Qt, like most, does not share a file for deletion,
        // and only Windows then refuses to replace it.
        QFile user(path);
        if (refusal == "in use")
            QVERIFY(user.open(QIODevice::ReadOnly));
        QCOMPARE(failingSave(path, NumberedBitmap(8, 8)), saveError(path));
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path, rights);
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.bmp"});
}

// A 20 by 20 chip is a file of 54 + 20 * 60 bytes; the write stops at each telling place. A PNG
// goes through the same safe save, which its last stop shows.
void BmpSaveTest::everyFailingStepKeepsTheOldFile_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("name");
    const QString bmp = QStringLiteral("chip.bmp"), png = QStringLiteral("chip.png");
    const qint64 size = 54 + 20 * 60;
    QTest::newRow("nothing written") << int(FileWriteFault::Write) << qint64(0) << bmp;
    QTest::newRow("one byte") << int(FileWriteFault::Write) << qint64(1) << bmp;
    QTest::newRow("file header only") << int(FileWriteFault::Write) << qint64(14) << bmp;
    QTest::newRow("headers only") << int(FileWriteFault::Write) << qint64(54) << bmp;
    QTest::newRow("half the pixels") << int(FileWriteFault::Write) << size / 2 << bmp;
    QTest::newRow("all but the last byte") << int(FileWriteFault::Write) << size - 1 << bmp;
    QTest::newRow("flush to the disk") << int(FileWriteFault::Sync) << qint64(0) << bmp;
    QTest::newRow("close") << int(FileWriteFault::Close) << qint64(0) << bmp;
    QTest::newRow("rename") << int(FileWriteFault::Rename) << qint64(0) << bmp;
    QTest::newRow("PNG: rename") << int(FileWriteFault::Rename) << qint64(0) << png;
}

void BmpSaveTest::everyFailingStepKeepsTheOldFile()
{
    QFETCH(int, stage);
    QFETCH(qint64, offset);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    WritePictureFile(path, NumberedBitmap(3, 3));
    const QByteArray old = contents(path);
    SetFileWriteFault({FileWriteFault::Stage(stage), offset});
    QCOMPARE(failingSave(path, NumberedBitmap(20, 20)), saveError(path));
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    // A save where none was before leaves nothing.
    const QString fresh = dir.filePath("fresh-" + name);
    QCOMPARE(failingSave(fresh, NumberedBitmap(20, 20)), saveError(fresh));
    QVERIFY(!QFileInfo::exists(fresh));
}

// The real thing: a full file system. Small chips fit in a buffer that is written only when it
// is flushed, the case that once emptied the old file.
void BmpSaveTest::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("4 x 4") << 4;
    QTest::newRow("73 x 73") << 73;
    QTest::newRow("256 x 256") << 256;
}

void BmpSaveTest::fullDiskKeepsTheOldFile()
{
#ifndef Q_OS_LINUX
    QSKIP("a small file system of its own is mounted only on Linux");
#else
    QFETCH(int, side);
    SmallDisk disk(QStringLiteral("256k"));
    if (!disk.mounted())
        QSKIP("this test may not mount a small file system");
    const QString path = disk.filePath("chip.bmp");
    WriteBmpFile(path, NumberedBitmap(10, 10));
    const QByteArray old = contents(path);
    disk.fill();
    QCOMPARE(failingSave(path, NumberedBitmap(side, side)), saveError(path));
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(disk.filePath(".")).entryList(QDir::Files | QDir::Hidden), (QStringList{".filler", "chip.bmp"}));
#endif
}

QTEST_GUILESS_MAIN(BmpSaveTest)
#include "test_bmpsave.moc"
