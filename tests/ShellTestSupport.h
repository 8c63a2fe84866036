// SPDX-License-Identifier: MIT
// Helpers shared by the tests of the application shell: the program's windows made as start-up
// makes them, idle moments, chip windows, and answering modal dialogs.
#pragma once
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "document/Childwin.h"
#include "shell/Main.h"
#include "shell/Startup.h"
#include "tools/UEditerData.h"
#include "tools/UToolDlg.h"

namespace shell {

// Lets the event loop run for ms and until it has waited once: the moment at which Undo and Redo
// update themselves. QTest::qWait never waits in the loop, so it never gives that moment, and on
// a busy machine a loop may run out its time without ever waiting.
inline void runIdle(int ms = 20)
{
    QEventLoop loop;
    bool waited = false, late = false;
    const auto blocked = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                          &loop, [&] {
                                              waited = true;
                                              if (late)
                                                  loop.quit();
                                          });
    QTimer::singleShot(ms, &loop, [&] {
        late = true;
        if (waited)
            loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(blocked);
}

inline void closeAllChips()
{
    for (QMdiSubWindow* w : MainForm->mdiArea()->subWindowList())
        delete w;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline TMDIChild* newChip(const QString& caption, int w = 8, int h = 8)
{
    MainForm->CreateChip(caption, w, h, true);
    return MainForm->ActiveChip();
}

inline QMdiSubWindow* windowOf(TMDIChild* chip)
{
    return qobject_cast<QMdiSubWindow*>(chip->parentWidget());
}

inline void activate(QWidget* window)
{
    window->activateWindow();
    window->raise();
    QVERIFY(QTest::qWaitForWindowActive(window, kWindowEventTimeout));
}

// Runs answer with the modal dialog as soon as one is open, from inside its event loop.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer) : answer_(std::move(answer))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || done_ || !modal->isVisible())
                return;
            done_ = true;
            timer_.stop();
            QPointer<QWidget> guard = modal;
            answer_(modal);
            // A check that failed inside the answer returns early; closing the dialog here turns
            // what would be a hang into the failure it is.
            if (auto* dialog = qobject_cast<QDialog*>(guard.data()); dialog && dialog->isVisible())
                dialog->reject();
        });
        timer_.start();
    }
    bool answered() const { return done_; }

private:
    std::function<void(QWidget*)> answer_;
    QTimer timer_;
    bool done_ = false;
};

} // namespace shell
