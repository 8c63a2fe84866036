#include "shell/UFileNewDlg.h"

TFileNewDlg* FileNewDlg = nullptr;

TFileNewDlg::TFileNewDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("新規作成"));
}
