// SPDX-License-Identifier: MIT
#include "tools/UToolDlg.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>

#include "platform/Checkerboard.h"
#include "platform/DialogKeys.h"
#include "platform/ScreenPlacement.h"
#include "tools/UEditerData.h"

TToolDlg* ToolDlg = nullptr;

// The pictures live in the core library's resources, which a static library does not register
// by itself.
static void initToolPictures()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace {

constexpr int kButtonSize = 32;
constexpr int kPictureSize = 28;

// A panel that reports a click, as the colour panel does.
class ClickPanel : public QFrame {
public:
    using QFrame::QFrame;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
            OnClick();
    }
};

QFrame* makePanel(QWidget* parent, int x, int y, int w, int h)
{
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel->setLineWidth(1);
    panel->setGeometry(x, y, w, h);
    return panel;
}

// Positions inside a bordered panel count from inside its border.
QToolButton* makeButton(QWidget* parent, int x, int y, const char* picture, bool stays)
{
    auto* button = new QToolButton(parent);
    const int border = qobject_cast<QFrame*>(parent) ? qobject_cast<QFrame*>(parent)->frameWidth() : 0;
    button->setGeometry(x + border, y + border, kButtonSize, kButtonSize);
    button->setIcon(QIcon(QString::fromLatin1(picture)));
    button->setIconSize(QSize(kPictureSize, kPictureSize));
    button->setCheckable(stays);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TToolDlg::TToolDlg(QWidget* parent) : QDialog(parent)
{
    initToolPictures();
    setWindowTitle(QStringLiteral("ToolDlg"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(138, 73);
    move(202, 615);
    // A button shows its tooltip whenever the pointer rests on it, not only while the box is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    KeepInsideScreenWhenShown(this);

    FPanelTool = makePanel(this, 0, 0, 68, 68);
    FBtnPen = makeButton(FPanelTool, 0, 0, ":/icons/tool-pen.xpm", true);
    FBtnMove = makeButton(FPanelTool, 0, 32, ":/icons/tool-move.xpm", true);
    FBtnMask = makeButton(FPanelTool, 32, 32, ":/icons/tool-mask.xpm", true);
    FToolGroup = new QButtonGroup(this);
    FToolGroup->setExclusive(true);
    FToolGroup->addButton(FBtnPen, ToolPen);
    FToolGroup->addButton(FBtnMove, ToolMove);
    FToolGroup->addButton(FBtnMask, ToolMask);

    Panel1 = makePanel(this, 70, 0, 67, 36);
    FBtnLoop = makeButton(Panel1, 0, 0, ":/icons/tool-loop.xpm", true);
    FBtnLoop->setToolTip(QStringLiteral("ループ(Ctrl+L)"));
    FBtnLoop->setStatusTip(QStringLiteral("ループ(Ctrl+L)"));
    connect(FBtnLoop, &QToolButton::clicked, this, &TToolDlg::FBtnLoopClick);

    FBtnOk = makeButton(this, 72, 40, ":/icons/tool-ok.xpm", false);

    auto* colorPanel = new ClickPanel(this);
    colorPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    colorPanel->setLineWidth(1);
    colorPanel->setGeometry(104, 40, 32, 32);
    colorPanel->setAutoFillBackground(true);
    colorPanel->OnClick = [this] { FPanelFrontColorClick(); };
    FPanelFrontColor = colorPanel;
}

void TToolDlg::BindActions(QAction* Pen, QAction* Move, QAction* Mask, QAction* Ok)
{
    bindAction(FBtnPen, Pen);
    bindAction(FBtnMove, Move);
    bindAction(FBtnMask, Mask);
    bindAction(FBtnOk, Ok);
}

void TToolDlg::bindAction(QAbstractButton* button, QAction* action)
{
    const auto takeHints = [button, action] {
        button->setToolTip(action->toolTip());
        button->setStatusTip(action->statusTip());
        button->setEnabled(action->isEnabled());
    };
    takeHints();
    connect(action, &QAction::changed, button, takeHints);
    // The button goes down first (radio behaviour); the action's refresh of the box then shows
    // the tool actually in force.
    connect(button, &QAbstractButton::clicked, action, [action] { action->trigger(); });
}

void TToolDlg::UpdateFromToolData()
{
    if (QAbstractButton* button = FToolGroup->button(ToolData->FTool))
        button->setChecked(true);
    FBtnLoop->setChecked(ToolData->FLoop);
    QPalette pal = FPanelFrontColor->palette();
    pal.setBrush(QPalette::Window, ColourBrush(ToolData->getColor()));
    FPanelFrontColor->setPalette(pal);
}

// Only the close box hides the tool box.
void TToolDlg::keyPressEvent(QKeyEvent* event)
{
    if (!HandleDialogKey(this, event))
        QDialog::keyPressEvent(event);
}

void TToolDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TToolDlg::FormShow()
{
    UpdateFromToolData();
}

void TToolDlg::FBtnLoopClick()
{
    if (OnChangeLoop)
        OnChangeLoop();
    // Without a main window behind it the button still shows the switch, not its own guess.
    else
        UpdateFromToolData();
}

void TToolDlg::FPanelFrontColorClick()
{
    if (OnChooseColor)
        OnChooseColor();
}
