// SPDX-License-Identifier: MIT
// One Marlo a desktop session, with the built program: a second start with a file hands it to
// the Marlo already running, which shows it and comes to the front, and the second start ends;
// where no Marlo answers (a socket left by a killed one, a server that never answers) the second
// start opens the file in a window of its own.
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSupport.h"
#include "X11Windows.h"
#include "pictures/PictureFile.h"
#include "platform/SingleInstance.h"

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void secondStartWithFile_data();
    void secondStartWithFile();
    void cleanup();

private:
    void start(QProcess& marlo, const QStringList& args);
    QTemporaryDir dir;
    QProcess first;
    QProcess second;
};

void TestSingleInstance::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (qEnvironmentVariableIsEmpty("MARLO_BINARY"))
        QSKIP("MARLO_BINARY is not set");
    if (!Xdotool({QStringLiteral("version")}))
        QSKIP("xdotool is not installed");
    QVERIFY(dir.isValid());
    // For the Marlos it starts, whose killed runs leave their folders in the test's folder.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    // White pictures of sizes of their own, found on the screen by them.
    WritePictureFile(dir.filePath(QStringLiteral("first.png")), Bitmap(40, 24));
    WritePictureFile(dir.filePath(QStringLiteral("other.bmp")), Bitmap(24, 40));
}

void TestSingleInstance::cleanup()
{
    for (QProcess* marlo : {&first, &second}) {
        marlo->kill();
        marlo->waitForFinished(kWindowEventTimeout);
    }
}

void TestSingleInstance::start(QProcess& marlo, const QStringList& args)
{
    marlo.setWorkingDirectory(dir.path());
    marlo.setProcessChannelMode(QProcess::ForwardedChannels);
    marlo.start(qEnvironmentVariable("MARLO_BINARY"), args);
    QVERIFY(marlo.waitForStarted());
}

void TestSingleInstance::secondStartWithFile_data()
{
    QTest::addColumn<QString>("before"); // what listens under the session's name when the second start comes
    QTest::newRow("a running Marlo takes the file") << "running";
    QTest::newRow("a socket left by a killed Marlo") << "killed";
    QTest::newRow("a server that never answers") << "silent";
}

void TestSingleInstance::secondStartWithFile()
{
    QFETCH(QString, before);
    // A runtime folder of this row's own, which the program and this test both name the session by.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString name = InstanceName();
    QVERIFY(name.startsWith(runtime.path()));

    QString main;
    QLocalServer silent;
    if (before == "silent") {
        QVERIFY(silent.listen(name));
    } else {
        // Qt's own options go to Qt, the file relative to the working folder to Marlo.
        start(first, before == "running" ? QStringList{"-style", "Fusion", "first.png"} : QStringList{});
        main = WaitForProcessWindow(first.processId(), QStringLiteral("Marlo"));
        QVERIFY(!main.isEmpty());
    }
    if (before == "running") {
        QTRY_VERIFY_WITH_TIMEOUT(!FindWhiteBlock(GrabScreen(), 40, 24).isNull(), kWindowEventTimeout);
        QVERIFY(Xdotool({QStringLiteral("windowminimize"), QStringLiteral("--sync"), main}));
    } else if (before == "killed") {
        first.kill();
        QVERIFY(first.waitForFinished(kWindowEventTimeout));
        QVERIFY(QFileInfo::exists(name));
    }

    start(second, {QStringLiteral("other.bmp")});
    if (before == "running") {
        QVERIFY(second.waitForFinished(kWindowEventTimeout));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // The first Marlo shows the file, out of the minimized state and in front.
        QTRY_VERIFY_WITH_TIMEOUT(!FindWhiteBlock(GrabScreen(), 24, 40).isNull(), kWindowEventTimeout);
        QString active;
        QTRY_VERIFY_WITH_TIMEOUT(Xdotool({QStringLiteral("getactivewindow")}, &active) && active.trimmed() == main,
                                 kWindowEventTimeout);
        return;
    }
    QVERIFY(!WaitForProcessWindow(second.processId(), QStringLiteral("Marlo")).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!FindWhiteBlock(GrabScreen(), 24, 40).isNull(), kWindowEventTimeout);
    if (before == "killed") {
        // The left socket was replaced: the second start serves the session now.
        QLocalSocket probe;
        probe.connectToServer(name);
        QVERIFY(probe.waitForConnected(kWindowEventTimeout));
    }
}

QTEST_MAIN(TestSingleInstance)
#include "x11_single_instance.moc"
