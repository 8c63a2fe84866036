#include "tools/UToolDlg.h"

TToolDlg* ToolDlg = nullptr;

TToolDlg::TToolDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ToolDlg"));
}

void TToolDlg::UpdateFromToolData() {}
