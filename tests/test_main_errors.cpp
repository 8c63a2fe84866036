// SPDX-License-Identifier: MIT
// Errors that escape an event handler outside the commands: the application object ends the
// handler with one error box, and the program goes on.
#include <QMessageBox>
#include <new>

#include "ShellTestSupport.h"
#include "pictures/Errors.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace shell;

namespace {

// A control whose click fails, as a handler that runs out of memory or cannot write does.
class FailingControl : public QWidget {
public:
    explicit FailingControl(bool marloError) : marloError_(marloError) { resize(20, 20); }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        if (marloError_)
            throw EMarloError(QStringLiteral("ファイル x を作成できません"));
        throw std::bad_alloc();
    }

private:
    bool marloError_;
};

// Qt's own frames have no clean-up code for exceptions, so the event's internals they hold are
// lost when the error passes through them. That small loss is the price of going on; this test
// checks the report, so it tells the leak checker to overlook what the failing control and its
// click allocate.
struct LeakCheckPause {
#if defined(__SANITIZE_ADDRESS__)
    LeakCheckPause() { __lsan_disable(); }
    ~LeakCheckPause() { __lsan_enable(); }
#endif
};

} // namespace

class TestMainErrors : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void errorEscapingAHandler_data();
    void errorEscapingAHandler();
};

void TestMainErrors::initTestCase()
{
    QVERIFY(dynamic_cast<TApplication*>(QCoreApplication::instance()));
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestMainErrors::cleanupTestCase()
{
    closeAllChips();
    DestroyMarloWindows();
}

void TestMainErrors::errorEscapingAHandler_data()
{
    QTest::addColumn<bool>("marloError");
    QTest::addColumn<QString>("text");
    QTest::newRow("program error") << true << QStringLiteral("ファイル x を作成できません.");
    QTest::newRow("standard error") << false << QStringLiteral("std::bad_alloc.");
}

void TestMainErrors::errorEscapingAHandler()
{
    QFETCH(bool, marloError);
    QList<MessageBoxCatcher::Box> boxes;
    {
        // The control lives inside the pause: what Qt's frames lose refers to it.
        [[maybe_unused]] LeakCheckPause pause;
        FailingControl control(marloError);
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        MessageBoxCatcher catcher;
        QTest::mouseClick(&control, Qt::LeftButton);
        QTRY_COMPARE(catcher.boxes().size(), 1);
        boxes = catcher.boxes();
    }
    QCOMPARE(boxes.first().title, QStringLiteral("Ossery"));
    QTEST(boxes.first().text, "text");
    QCOMPARE(boxes.first().icon, int(QMessageBox::Critical));
    QCOMPARE(boxes.first().buttons, QStringList{QStringLiteral("OK")});
    // The program goes on.
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    MainForm->ActZoomIn->trigger();
    QCOMPARE(chip->getZoom(), 2);
    closeAllChips();
}

// The program's own application object, so errors escaping a handler meet its report.
int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainErrors test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_errors.moc"
