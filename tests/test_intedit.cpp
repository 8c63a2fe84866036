// SPDX-License-Identifier: MIT
// The integer entry: value apart from text, clamping, text conversion, spin steps, validation.
#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "TestSupport.h"
#include "platform/MessageBoxes.h"
#include "tools/UIntEdit.h"

namespace {

// A window around one entry that records the keys the entry lets through to it.
class Host : public QDialog {
public:
    Host()
    {
        auto* layout = new QVBoxLayout(this);
        edit = new TIntEdit(this);
        edit->resize(81, 20);
        layout->addWidget(edit);
        other = new QLineEdit(this);
        layout->addWidget(other);
    }
    TIntEdit* edit;
    QLineEdit* other;
    QList<int> keysSeen;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        keysSeen << e->key();
        QDialog::keyPressEvent(e);
    }
};

} // namespace

class TestIntEdit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void creationDefaults();
    void writingValueClamps_data();
    void writingValueClamps();
    void boundsAndIncrement_data();
    void boundsAndIncrement();
    void textToInt_data();
    void textToInt();
    void enterValidates_data();
    void enterValidates();
    void validateTextReportsRange_data();
    void validateTextReportsRange();
    void changeEventOnlyWhenTextChanges();
    void spinSteps_data();
    void spinSteps();
    void spinArrowsKeepTheirDirection();
    void arrowKeysAreNotSwallowedEnterIs();
    void enterNeverPressesTheDialogButton();
    void focusSelectsWholeText();
    void shortcutsWinOutsideModalDialogs();
    void spinButtonDockedAtRightEdge();
    void validatingOnLeaveShowsOneBox();

private:
    Host* host = nullptr;
};

void TestIntEdit::init()
{
    host = new Host;
    host->show();
    QVERIFY(QTest::qWaitForWindowActive(host));
    host->edit->setFocus();
}

void TestIntEdit::cleanup()
{
    delete host;
    host = nullptr;
}

void TestIntEdit::creationDefaults()
{
    TIntEdit e;
    QCOMPARE(e.Value(), 0);
    QCOMPARE(e.MinValue(), 0);
    QCOMPARE(e.MaxValue(), 0);
    QCOMPARE(e.Increment(), 1);
    QCOMPARE(e.ShowName(), QString());
    QCOMPARE(e.text(), QString());
    QVERIFY(e.spinButton());
    QCOMPARE(e.spinButton()->Increment(), 1);
}

void TestIntEdit::writingValueClamps_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("in range") << 0 << 255 << 17 << 17 << "17";
    QTest::newRow("above max") << 0 << 255 << 300 << 255 << "255";
    QTest::newRow("below min") << 0 << 255 << -5 << 0 << "0";
    QTest::newRow("negative shown with sign") << -100 << 100 << -42 << -42 << "-42";
    QTest::newRow("int min") << INT_MIN << INT_MAX << INT_MIN << INT_MIN << "-2147483648";
    QTest::newRow("int max") << INT_MIN << INT_MAX << INT_MAX << INT_MAX << "2147483647";
}

void TestIntEdit::writingValueClamps()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, written);
    TIntEdit e;
    e.setMaxValue(max);
    e.setMinValue(min);
    e.setValue(written);
    QTEST(e.Value(), "value");
    QTEST(e.text(), "text");
}

void TestIntEdit::boundsAndIncrement_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("increment");
    QTest::addColumn<int>("value");
    // Steps: m<n> writes MinValue, M<n> MaxValue, i<n> Increment, v<n> Value.
    QTest::newRow("min above max becomes max") << "M256 m500" << 256 << 256 << 1 << 0;
    QTest::newRow("max below min becomes min") << "M256 m10 M3" << 10 << 10 << 1 << 0;
    QTest::newRow("increment 0 ignored") << "M255 i5 i0" << 0 << 255 << 5 << 0;
    QTest::newRow("increment negative ignored") << "M255 i5 i-3" << 0 << 255 << 5 << 0;
    QTest::newRow("bounds do not re-clamp value") << "M255 v200 M100" << 0 << 100 << 1 << 200;
}

void TestIntEdit::boundsAndIncrement()
{
    QFETCH(QString, steps);
    TIntEdit e;
    for (const QString& step : steps.split(u' ')) {
        const int n = step.mid(1).toInt();
        switch (step[0].unicode()) {
        case 'm': e.setMinValue(n); break;
        case 'M': e.setMaxValue(n); break;
        case 'i': e.setIncrement(n); break;
        case 'v': e.setValue(n); break;
        }
    }
    QTEST(e.MinValue(), "min");
    QTEST(e.MaxValue(), "max");
    QTEST(e.Increment(), "increment");
    QTEST(e.Value(), "value");
    QCOMPARE(e.spinButton()->MinValue(), e.MinValue());
    QCOMPARE(e.spinButton()->MaxValue(), e.MaxValue());
    QCOMPARE(e.spinButton()->Increment(), e.Increment());
}

void TestIntEdit::textToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result"); // -99 is the fallback
    QTest::newRow("plain") << "12" << 12;
    QTest::newRow("leading spaces") << "  12" << 12;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("minus") << "-7" << -7;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("dollar hex") << "$1F" << 31;
    QTest::newRow("x hex") << "x1f" << 31;
    QTest::newRow("X hex") << "XfF" << 255;
    QTest::newRow("0x hex") << "0x10" << 16;
    QTest::newRow("0X hex") << "0X10" << 16;
    QTest::newRow("signed hex") << "-$10" << -16;
    QTest::newRow("int max") << "2147483647" << 2147483647;
    QTest::newRow("int min") << "-2147483648" << int(-2147483648LL);
    QTest::newRow("hex int max") << "$7FFFFFFF" << 2147483647;
    QTest::newRow("empty") << "" << -99;
    QTest::newRow("only spaces") << "   " << -99;
    QTest::newRow("only sign") << "-" << -99;
    QTest::newRow("only dollar") << "$" << -99;
    QTest::newRow("only 0x") << "0x" << -99;
    QTest::newRow("trailing space") << "12 " << -99;
    QTest::newRow("space after sign") << "- 5" << -99;
    QTest::newRow("letters") << "abc" << -99;
    QTest::newRow("hex digit in decimal") << "1a" << -99;
    QTest::newRow("double sign") << "--5" << -99;
    QTest::newRow("tab is not a blank") << "\t5" << -99;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << -99;
    QTest::newRow("one beyond int max") << "2147483648" << -99;
    QTest::newRow("one beyond int min") << "-2147483649" << -99;
    QTest::newRow("hex beyond int max") << "$80000000" << -99;
    QTest::newRow("hex all ones") << "$FFFFFFFF" << -99;
    QTest::newRow("huge") << "99999999999999999999999" << -99;
    QTest::newRow("decimal point") << "1.5" << -99;
}

void TestIntEdit::textToInt()
{
    QFETCH(QString, text);
    QTEST(TIntEdit::TextToInt(text, -99), "result");
}

void TestIntEdit::enterValidates_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("too big, empty name") << 0 << 255 << "" << "300" << false << 10 << "300"
                                         << QStringLiteral("は 0～255 の範囲で指定してね");
    QTest::newRow("leading space dropped") << 0 << 255 << "" << " 12" << true << 12 << "12" << "";
    QTest::newRow("hex accepted and normalised") << 0 << 255 << "" << "$ff" << true << 255 << "255" << "";
    QTest::newRow("not a number") << 0 << 256 << QStringLiteral("チップの幅") << "abc" << false << 10 << "abc"
                                  << QStringLiteral("チップの幅は 0～256 の範囲で指定してね");
    QTest::newRow("fallback number is rejected") << -1000000 << 0 << "" << "-700000" << false << 0 << "-700000"
                                                 << QStringLiteral("は -1000000～0 の範囲で指定してね");
    QTest::newRow("empty text") << 0 << 255 << "" << "" << false << 10 << ""
                                << QStringLiteral("は 0～255 の範囲で指定してね");
    QTest::newRow("bounds inclusive") << 0 << 256 << "" << "256" << true << 256 << "256" << "";
}

void TestIntEdit::enterValidates()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    TIntEdit* e = host->edit;
    e->setMaxValue(max);
    e->setMinValue(min);
    e->setShowName(name);
    e->setValue(10);
    e->clear();
    QTest::keyClicks(e, typed);
    const int beeps = BeepCount();
    MessageBoxCatcher catcher;
    QTest::keyClick(e, Qt::Key_Return);
    QTEST(e->Value(), "value");
    QTEST(e->text(), "text");
    QCOMPARE(host->keysSeen.contains(Qt::Key_Return), false);
    if (accepted) {
        QCOMPARE(BeepCount(), beeps);
        QCOMPARE(catcher.boxes().size(), 0);
        return;
    }
    QCOMPARE(BeepCount(), beeps + 1);
    QCOMPARE(catcher.boxes().size(), 1);
    const auto box = catcher.boxes().first();
    QCOMPARE(box.title, QStringLiteral("確認"));
    QCOMPARE(box.text, message);
    QCOMPARE(box.icon, int(QMessageBox::Question));
    QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(host->focusWidget(), static_cast<QWidget*>(e));
    QCOMPARE(e->selectedText(), e->text());
}

void TestIntEdit::validateTextReportsRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("result");
    QTest::newRow("valid") << "0" << true;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("too big") << "257" << false;
    QTest::newRow("negative") << "-1" << false;
}

void TestIntEdit::validateTextReportsRange()
{
    QFETCH(QString, typed);
    TIntEdit* e = host->edit;
    e->setMaxValue(256);
    e->setShowName(QStringLiteral("チップの幅"));
    e->setValue(32);
    e->setText(typed);
    // The focus is elsewhere, as when the owner validates on leaving the entry.
    host->other->setFocus();
    MessageBoxCatcher catcher;
    QTEST(e->ValidateText(), "result");
    QFETCH(bool, result);
    QCOMPARE(catcher.boxes().size(), result ? 0 : 1);
    if (!result) {
        QCOMPARE(e->Value(), 32);
        QCOMPARE(e->text(), typed);
        QCOMPARE(host->focusWidget(), static_cast<QWidget*>(e));
        QCOMPARE(e->selectedText(), typed);
    }
}

void TestIntEdit::changeEventOnlyWhenTextChanges()
{
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setValue(5);
    QSignalSpy change(e, &TIntEdit::Change);
    e->setValue(5);
    QCOMPARE(change.count(), 0);
    e->setValue(300); // clamped to 255: the text changes once
    QCOMPARE(change.count(), 1);
    e->setValue(255);
    QCOMPARE(change.count(), 1);
    e->selectAll();
    QTest::keyClicks(e, "12");
    QCOMPARE(change.count(), 3);
    QCOMPARE(e->Value(), 255); // typing alone never changes the value
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->Value(), 12);
    QCOMPARE(change.count(), 3);
}

void TestIntEdit::spinSteps_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("increment");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("non-number, Up key") << 10 << "abc" << 1 << "key up" << 11;
    QTest::newRow("non-number, Down key") << 10 << "abc" << 1 << "key down" << 9;
    QTest::newRow("typed 999, upper arrow") << 10 << "999" << 1 << "arrow up" << 255;
    QTest::newRow("typed 999, lower arrow") << 10 << "999" << 1 << "arrow down" << 254;
    QTest::newRow("0, Down key") << 0 << "0" << 1 << "key down" << 0;
    QTest::newRow("255, Up key") << 255 << "255" << 1 << "key up" << 255;
    QTest::newRow("typed 7 taken over") << 100 << "7" << 1 << "key up" << 8;
    QTest::newRow("increment 16") << 100 << "100" << 16 << "arrow up" << 116;
    QTest::newRow("negative clamps to min") << 3 << "-50" << 1 << "key up" << 1;
}

void TestIntEdit::spinSteps()
{
    QFETCH(int, value);
    QFETCH(QString, typed);
    QFETCH(int, increment);
    QFETCH(QString, how);
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setIncrement(increment);
    e->setValue(value);
    e->setText(typed);
    const int beeps = BeepCount();
    MessageBoxCatcher catcher;
    if (how == "key up")
        QTest::keyClick(e, Qt::Key_Up);
    else if (how == "key down")
        QTest::keyClick(e, Qt::Key_Down);
    else if (how == "arrow up")
        QTest::mouseClick(e->spinButton()->upButton(), Qt::LeftButton);
    else
        QTest::mouseClick(e->spinButton()->downButton(), Qt::LeftButton);
    QFETCH(int, expected);
    QCOMPARE(e->Value(), expected);
    QCOMPARE(e->text(), QString::number(expected));
    QCOMPARE(BeepCount(), beeps);
    QCOMPARE(catcher.boxes().size(), 0);
}

void TestIntEdit::spinArrowsKeepTheirDirection()
{
    TIntEdit* e = host->edit;
    e->setMaxValue(INT_MAX);
    e->setMinValue(INT_MIN);
    e->setValue(0);
    for (int i = 1; i <= 12; ++i) {
        QTest::mouseClick(e->spinButton()->upButton(), Qt::LeftButton);
        QCOMPARE(e->Value(), i);
    }
    for (int i = 11; i >= -3; --i) {
        QTest::mouseClick(e->spinButton()->downButton(), Qt::LeftButton);
        QCOMPARE(e->Value(), i);
    }
    // A step at the edge of the 32-bit range clamps instead of wrapping around.
    e->setValue(INT_MAX);
    QTest::keyClick(e, Qt::Key_Up);
    QCOMPARE(e->Value(), INT_MAX);
    e->setValue(INT_MIN);
    QTest::keyClick(e, Qt::Key_Down);
    QCOMPARE(e->Value(), INT_MIN);
}

void TestIntEdit::arrowKeysAreNotSwallowedEnterIs()
{
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setValue(1);
    QTest::keyClick(e, Qt::Key_Up);
    QTest::keyClick(e, Qt::Key_Down);
    QTest::keyClick(e, Qt::Key_Enter);
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(host->keysSeen, (QList<int>{Qt::Key_Up, Qt::Key_Down}));
    QCOMPARE(e->text(), QStringLiteral("1"));
}

void TestIntEdit::enterNeverPressesTheDialogButton()
{
    auto* ok = new QPushButton(QStringLiteral("OK"), host);
    ok->setDefault(true);
    host->layout()->addWidget(ok);
    QSignalSpy clicked(ok, &QPushButton::clicked);
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setText(QStringLiteral("8"));
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(host->isVisible());
    QCOMPARE(e->Value(), 8);
}

void TestIntEdit::focusSelectsWholeText()
{
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setValue(123);
    host->other->setFocus();
    e->deselect();
    QTest::keyClick(host->other, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(e));
    QCOMPARE(e->selectedText(), QStringLiteral("123"));
    host->other->setFocus();
    e->setFocus(Qt::OtherFocusReason);
    QCOMPARE(e->selectedText(), QStringLiteral("123"));
}

void TestIntEdit::shortcutsWinOutsideModalDialogs()
{
    QWidget frame;
    auto* action = new QAction(&frame);
    action->setShortcut(Qt::Key_N);
    action->setShortcutContext(Qt::ApplicationShortcut);
    frame.addAction(action);
    frame.show();
    host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host));
    QSignalSpy fired(action, &QAction::triggered);
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setValue(5);
    QTest::keyClick(e, Qt::Key_N, Qt::NoModifier);
    QCOMPARE(fired.count(), 1);
    QCOMPARE(e->text(), QStringLiteral("5"));
    // Keys no shortcut claims still reach the text.
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, "7");
    QCOMPARE(e->text(), QStringLiteral("7"));

    // Inside a modal dialog the entry keeps its keys.
    QDialog modal;
    auto* inner = new TIntEdit(&modal);
    inner->setMaxValue(255);
    bool typed = false;
    QTimer::singleShot(0, &modal, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&modal));
        inner->setFocus();
        inner->clear();
        QTest::keyClick(inner, Qt::Key_N);
        typed = inner->text() == QStringLiteral("n");
        modal.reject();
    });
    modal.exec();
    QVERIFY(typed);
    QCOMPARE(fired.count(), 1);
}

void TestIntEdit::spinButtonDockedAtRightEdge()
{
    TIntEdit* e = host->edit;
    e->resize(81, 20);
    const int spinWidth = e->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, e);
    const QRect spin = e->spinButton()->geometry();
    QCOMPARE(spin.width(), spinWidth);
    QVERIFY(spin.right() < e->width());
    QVERIFY(spin.right() >= e->width() - 4);
    QVERIFY(spin.height() >= e->height() - 4);
    QCOMPARE(e->textMargins().right(), spinWidth + 2);
    e->resize(120, 24);
    QVERIFY(e->spinButton()->geometry().right() >= e->width() - 4);
}

// An owner that validates when the focus leaves the entry gets one range box per departure: the
// box taking the focus is not a departure, and focus coming back does not validate again.
void TestIntEdit::validatingOnLeaveShowsOneBox()
{
    TIntEdit* e = host->edit;
    e->setMaxValue(255);
    e->setValue(1);
    int validations = 0;
    connect(e, &TIntEdit::Leave, e, [&] {
        ++validations;
        e->ValidateText();
    });
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, QStringLiteral("999"));
    MessageBoxCatcher catcher;
    QTest::keyClick(e, Qt::Key_Tab);
    QTRY_COMPARE(catcher.boxes().size(), 1);
    QTest::qWait(100);
    QCOMPARE(catcher.boxes().size(), 1);
    QCOMPARE(validations, 1);
    QCOMPARE(host->focusWidget(), static_cast<QWidget*>(e));
    QCOMPARE(e->Value(), 1);
    // A valid number leaves quietly. (The offscreen platform does not give the activation back
    // after the box.)
    host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host));
    e->setText(QStringLiteral("7"));
    QTest::keyClick(e, Qt::Key_Tab);
    QCOMPARE(e->Value(), 7);
    QCOMPARE(catcher.boxes().size(), 1);
}

QTEST_MAIN(TestIntEdit)
#include "test_intedit.moc"
