// SPDX-License-Identifier: MIT
// The opacity window: slider and entry follow each other, every keystroke that leaves a text is
// checked at once, and the opacity reaches the tool state only when the window loses activation.
#include <QtTest>

#include <QSlider>
#include <QStyleOptionSlider>

#include "TestSupport.h"
#include "platform/MessageBoxes.h"
#include "tools/UAlphaDlg.h"
#include "tools/UEditerData.h"
#include "tools/UIntEdit.h"

namespace {

const QString RangeMessage = QStringLiteral("は 0～255 の範囲で指定してね");

// A shown, active opacity window set as the main window sets it at start-up.
std::unique_ptr<TAlphaDlg> makeActiveWindow()
{
    auto dlg = std::make_unique<TAlphaDlg>();
    dlg->setAlpha(255);
    dlg->show();
    dlg->activateWindow();
    if (!QTest::qWaitForWindowActive(dlg.get()))
        qWarning("the opacity window did not become active");
    return dlg;
}

// Another window of the program taking the activation, as a chip window does when clicked.
void activateOtherWindow(QWidget& other)
{
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
}

QRect handleRect(QSlider* slider)
{
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    opt.pageStep = slider->pageStep();
    opt.singleStep = slider->singleStep();
    opt.subControls = QStyle::SC_All;
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
}

// Drags the slider's handle with the left button until it stands at value.
void dragSliderTo(QSlider* slider, int value)
{
    const QPoint start = handleRect(slider).center();
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    const int step = value < slider->value() ? -1 : 1;
    for (int x = start.x(); x >= -10 && x <= slider->width() + 10 && slider->value() != value; x += step)
        QTest::mouseMove(slider, QPoint(x, start.y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->mapFromGlobal(QCursor::pos()).x(), start.y()));
}

void typeKey(QWidget* w, QChar key)
{
    if (key == u'\b')
        QTest::keyClick(w, Qt::Key_Backspace);
    else
        QTest::keyClick(w, key.toLatin1());
}

} // namespace

class TestAlphaDlg : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }
    void createdAsDescribed();
    void setAlphaMovesSliderAndEntry_data();
    void setAlphaMovesSliderAndEntry();
    void sliderReachesToolStateOnDeactivation();
    void keystrokes_data();
    void keystrokes();
    void rejectedTextStaysSelectedInFocusedEntry();
    void closingOnlyHides();
};

void TestAlphaDlg::createdAsDescribed()
{
    TAlphaDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("不透明度ダイアログ"));
    QVERIFY(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(dlg.windowType(), Qt::Tool);
    QCOMPARE(dlg.size(), QSize(329, 34));
    QCOMPARE(dlg.FTrackBarAlpha->geometry(), QRect(0, 0, 256, 45));
    QCOMPARE(dlg.FTrackBarAlpha->minimum(), 0);
    QCOMPARE(dlg.FTrackBarAlpha->maximum(), 255);
    QCOMPARE(dlg.FTrackBarAlpha->value(), 255);
    QCOMPARE(dlg.FTrackBarAlpha->pageStep(), 16);
    QCOMPARE(dlg.FTrackBarAlpha->tickInterval(), 32);
    QCOMPARE(dlg.FTrackBarAlpha->tickPosition(), QSlider::TicksAbove);
    QCOMPARE(dlg.FTrackBarAlpha->focusPolicy(), Qt::NoFocus);
    QCOMPARE(dlg.FEditAlphaNum->geometry(), QRect(264, 8, 57, 20));
    QCOMPARE(dlg.FEditAlphaNum->MinValue(), 0);
    QCOMPARE(dlg.FEditAlphaNum->MaxValue(), 255);
    QCOMPARE(dlg.FEditAlphaNum->ShowName(), QString());
    QCOMPARE(dlg.FEditAlphaNum->text(), QStringLiteral("0"));
    QCOMPARE(dlg.getAlpha(), uint8_t(255));
}

void TestAlphaDlg::setAlphaMovesSliderAndEntry_data()
{
    QTest::addColumn<int>("alpha");
    QTest::newRow("start-up 255") << 255;
    QTest::newRow("0") << 0;
    QTest::newRow("128") << 128;
}

void TestAlphaDlg::setAlphaMovesSliderAndEntry()
{
    QFETCH(int, alpha);
    TAlphaDlg dlg;
    dlg.setAlpha(uint8_t(alpha));
    QCOMPARE(dlg.FTrackBarAlpha->value(), alpha);
    QCOMPARE(dlg.FEditAlphaNum->text(), QString::number(alpha));
    QCOMPARE(dlg.FEditAlphaNum->Value(), alpha);
    QCOMPARE(dlg.getAlpha(), uint8_t(alpha));
    // Setting the window is not the window losing activation.
    QCOMPARE(ToolData->FAlpha, uint8_t(255));
}

void TestAlphaDlg::sliderReachesToolStateOnDeactivation()
{
    auto dlg = makeActiveWindow();
    // The entry is the only tab stop and has the focus from the first activation.
    QTRY_VERIFY(dlg->FEditAlphaNum->hasFocus());

    dragSliderTo(dlg->FTrackBarAlpha, 128);
    QCOMPARE(dlg->FTrackBarAlpha->value(), 128);
    QCOMPARE(dlg->FEditAlphaNum->text(), QStringLiteral("128"));
    QCOMPARE(ToolData->FAlpha, uint8_t(255));

    QWidget other;
    activateOtherWindow(other);
    QCOMPARE(ToolData->FAlpha, uint8_t(128));
}

void TestAlphaDlg::keystrokes_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("sliderAfter");
    QTest::addColumn<QList<int>>("boxesAfter");

    // The whole text is selected when the entry takes the focus, so the first key replaces it.
    QTest::newRow("1 2 8 then 0") << QStringLiteral("1280") << QList<int>{1, 12, 128, 128} << QList<int>{0, 0, 0, 1};
    QTest::newRow("whole text deleted") << QStringLiteral("\b") << QList<int>{255} << QList<int>{0};
    QTest::newRow("minus into an empty entry") << QStringLiteral("\b-") << QList<int>{255, 255} << QList<int>{0, 1};
    QTest::newRow("a letter") << QStringLiteral("a") << QList<int>{255} << QList<int>{1};
    QTest::newRow("leading zero is dropped") << QStringLiteral("07") << QList<int>{0, 7} << QList<int>{0, 0};
    QTest::newRow("0 then 255") << QStringLiteral("\b255") << QList<int>{255, 2, 25, 255} << QList<int>{0, 0, 0, 0};
}

void TestAlphaDlg::keystrokes()
{
    QFETCH(QString, keys);
    QFETCH(QList<int>, sliderAfter);
    QFETCH(QList<int>, boxesAfter);
    auto dlg = makeActiveWindow();
    TIntEdit* entry = dlg->FEditAlphaNum;
    QTRY_VERIFY(entry->hasFocus());
    QCOMPARE(entry->selectedText(), QStringLiteral("255"));

    MessageBoxCatcher catcher;
    const int beeps = BeepCount();
    for (int i = 0; i < keys.size(); ++i) {
        typeKey(entry, keys[i]);
        QCOMPARE(dlg->FTrackBarAlpha->value(), sliderAfter[i]);
        QCOMPARE(catcher.boxes().size(), boxesAfter[i]);
    }
    QCOMPARE(BeepCount() - beeps, boxesAfter.last());
    for (const MessageBoxCatcher::Box& box : catcher.boxes()) {
        QCOMPARE(box.title, QStringLiteral("確認"));
        QCOMPARE(box.text, RangeMessage);
        QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
    }
    if (boxesAfter.last() == 0) {
        // Without a message the window never lost activation, so the tool state is untouched.
        QCOMPARE(ToolData->FAlpha, uint8_t(255));
        QCOMPARE(entry->Value(), sliderAfter.last());
    }
}

void TestAlphaDlg::rejectedTextStaysSelectedInFocusedEntry()
{
    auto dlg = makeActiveWindow();
    TIntEdit* entry = dlg->FEditAlphaNum;
    QTRY_VERIFY(entry->hasFocus());
    MessageBoxCatcher catcher;
    QTest::keyClicks(entry, QStringLiteral("1280"));
    QCOMPARE(catcher.boxes().size(), 1);
    QCOMPARE(dlg->FTrackBarAlpha->value(), 128);
    QCOMPARE(entry->Value(), 128);
    QCOMPARE(entry->text(), QStringLiteral("1280"));
    QCOMPARE(entry->selectedText(), QStringLiteral("1280"));
    // The entry is the window's focus again; the window system gives the window back its
    // activation when the box closes (checked under X in x11_dialogs).
    QCOMPARE(dlg->focusWidget(), entry);
    // The slider, not the rejected text, is what the tool state receives.
    QWidget other;
    activateOtherWindow(other);
    QCOMPARE(ToolData->FAlpha, uint8_t(128));
}

void TestAlphaDlg::closingOnlyHides()
{
    auto dlg = makeActiveWindow();
    QVERIFY(dlg->close());
    QVERIFY(dlg->isHidden());
    QCOMPARE(dlg->getAlpha(), uint8_t(255));
}

QTEST_MAIN(TestAlphaDlg)
#include "test_alphadlg.moc"
