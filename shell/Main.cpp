#include "shell/Main.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "document/Childwin.h"

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Marlo"));
    resize(572, 438);
    FMdiArea = new QMdiArea(this);
    FMdiArea->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(FMdiArea);

    auto* newChip = new QAction(this);
    newChip->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    newChip->setShortcutContext(Qt::ApplicationShortcut);
    connect(newChip, &QAction::triggered, this, [this] {
        CreateChip(QStringLiteral("NONAME%1").arg(FMdiArea->subWindowList().size() + 1), 32, 32, true);
    });
    addAction(newChip);
}

void TMainForm::CreateChip(const QString& Caption, int Width, int Height, bool Blank)
{
    auto* child = new TMDIChild;
    QMdiSubWindow* sub = FMdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    child->NewChip(Caption, Width, Height);
    if (!Blank)
        child->LoadFromFile(Caption);
    sub->show();
}
