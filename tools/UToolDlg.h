// SPDX-License-Identifier: MIT
#pragma once
#include <QDialog>
#include <functional>

class QAction;
class QAbstractButton;
class QButtonGroup;
class QFrame;
class QToolButton;

// The tool box: current tool, loop switch and pen colour. It keeps no state of its own; every
// click runs a command of the main window, which then asks the box to show the tool state.
class TToolDlg : public QDialog {
    Q_OBJECT
public:
    explicit TToolDlg(QWidget* parent = nullptr);

    // Shows the tool state: the tool in force, the loop switch and the pen colour.
    void UpdateFromToolData();

    // The main window's actions behind the pen, move, mask and OK buttons: a button takes its
    // action's hints, is disabled with it, and a click runs it.
    void BindActions(QAction* Pen, QAction* Move, QAction* Mask, QAction* Ok);
    // The main window's loop switch and colour choice, which the loop button and the colour
    // panel run.
    std::function<void()> OnChangeLoop;
    std::function<void()> OnChooseColor;

    QFrame* FPanelTool = nullptr;
    QToolButton* FBtnPen = nullptr;
    QToolButton* FBtnMove = nullptr;
    QToolButton* FBtnMask = nullptr;
    QFrame* Panel1 = nullptr;
    QToolButton* FBtnLoop = nullptr;
    QToolButton* FBtnOk = nullptr;
    QFrame* FPanelFrontColor = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void FBtnLoopClick();
    void FPanelFrontColorClick();
    void bindAction(QAbstractButton* button, QAction* action);

    QButtonGroup* FToolGroup = nullptr;
};

extern TToolDlg* ToolDlg;
