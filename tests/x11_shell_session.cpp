// SPDX-License-Identifier: MIT
// A whole session with the built program, driven as a user drives it: real keys and pointer
// through the X server. Make a chip, paint a stroke, save it through the dialog, quit; then
// read the file back.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSupport.h"
#include "X11Windows.h"
#include "pictures/BmpFile.h"

namespace {

QString run(const QStringList& args, bool* ok = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    const bool done = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

bool xdo(const QStringList& args)
{
    bool ok = false;
    run(args, &ok);
    return ok;
}

// The window manager may not manage a window yet when it first shows; ask again until it does.
bool activateWindow(const QString& id)
{
    for (int i = 0; i < 50; ++i) {
        if (xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id}))
            return true;
        QTest::qWait(100);
    }
    return false;
}

} // namespace

class TestShellSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void makePaintSaveQuit();
    void cleanupTestCase();

private:
    QTemporaryDir dir;
    QProcess marlo;
};

void TestShellSession::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (qEnvironmentVariableIsEmpty("MARLO_BINARY"))
        QSKIP("MARLO_BINARY is not set");
    if (!xdo({QStringLiteral("version")}))
        QSKIP("xdotool is not installed");
    QVERIFY(dir.isValid());
}

void TestShellSession::cleanupTestCase()
{
    if (marlo.state() != QProcess::NotRunning) {
        marlo.kill();
        marlo.waitForFinished(5000);
    }
}

void TestShellSession::makePaintSaveQuit()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Nothing may be kept between runs but the saved picture: no settings file either.
    const QString config = dir.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    marlo.setProcessEnvironment(env);
    // The save dialog starts in the working folder, so a bare name lands in the test's folder.
    marlo.setWorkingDirectory(dir.path());
    marlo.setProcessChannelMode(QProcess::ForwardedChannels);
    marlo.start(qEnvironmentVariable("MARLO_BINARY"), {});
    QVERIFY(marlo.waitForStarted());

    const auto waitForWindow = [this](const QString& title) { return WaitForProcessWindow(marlo.processId(), title); };
    const QString main = waitForWindow(QStringLiteral("Marlo"));
    QVERIFY(!main.isEmpty());
    // The tool box and the opacity window come up with the frame.
    QVERIFY(!waitForWindow(QStringLiteral("ToolDlg")).isEmpty());
    QVERIFY(activateWindow(main));

    // A new chip of the proposed 32 by 32: Ctrl+N, then Tab to OK past the height entry.
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("ctrl+n")}));
    const QString newDialog = waitForWindow(QStringLiteral("新規作成"));
    QVERIFY(!newDialog.isEmpty());
    QVERIFY(WaitForInputFocus(marlo.processId(), QStringLiteral("新規作成"), QString()));
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"), QStringLiteral("Tab"),
                 QStringLiteral("Tab"), QStringLiteral("space")}));

    QRect view;
    QElapsedTimer clock;
    clock.start();
    while (view.isNull() && clock.elapsed() < 15000) {
        QTest::qWait(100);
        view = FindWhiteBlock(GrabScreen(), 32, 32);
    }
    QVERIFY2(!view.isNull(), "the new chip's view did not appear");

    // One stroke with the pen (black at start): three segments, moved a few milliseconds apart.
    const auto at = [&](int x, int y) {
        return QStringList{QStringLiteral("mousemove"), QString::number(view.x() + x), QString::number(view.y() + y)};
    };
    QVERIFY(xdo(at(2, 5)));
    QTest::qWait(50);
    QVERIFY(xdo({QStringLiteral("mousedown"), QStringLiteral("1")}));
    QTest::qWait(50);
    for (const QPoint p : {QPoint(6, 5), QPoint(10, 5), QPoint(10, 12)}) {
        QVERIFY(xdo(at(p.x(), p.y())));
        QTest::qWait(50);
    }
    QVERIFY(xdo({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QTest::qWait(100);

    // Save As from the File menu, a name without extension typed into the dialog.
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("alt+f"),
                 QStringLiteral("a")}));
    const QString saveDialog = waitForWindow(QStringLiteral("名前を付けて保存"));
    QVERIFY(!saveDialog.isEmpty());
    QVERIFY(WaitForInputFocus(marlo.processId(), QStringLiteral("名前を付けて保存"), QString()));
    QVERIFY(xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("stroke")}));
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("Return")}));

    const QString saved = dir.filePath(QStringLiteral("stroke.bmp"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(saved), 15000);
    QTest::qWait(200);
    Bitmap chip;
    QVERIFY(ReadBmpFile(saved, chip, 256, 256));
    QCOMPARE(chip.width(), 32);
    QCOMPARE(chip.height(), 32);
    // Every segment paints from its start up to, not including, its end; the stroke's last
    // point is therefore left white.
    Bitmap expected(32, 32);
    for (int x = 2; x <= 9; ++x)
        expected.setPixel(x, 5, ClrBlack);
    for (int y = 5; y <= 11; ++y)
        expected.setPixel(10, y, ClrBlack);
    QString differences;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (chip.pixel(x, y) != expected.pixel(x, y))
                differences += QStringLiteral(" (%1,%2)=%3").arg(x).arg(y).arg(chip.pixel(x, y), 6, 16, QChar(u'0'));
    QVERIFY2(differences.isEmpty(), qPrintable(differences.left(400)));

    // Exit from the File menu ends the program at once, without a question about the chip.
    QVERIFY(activateWindow(main));
    QVERIFY(xdo({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("alt+f"),
                 QStringLiteral("x")}));
    QVERIFY(marlo.waitForFinished(15000));
    QCOMPARE(marlo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(marlo.exitCode(), 0);
    QCOMPARE(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
}

QTEST_MAIN(TestShellSession)
#include "x11_shell_session.moc"
