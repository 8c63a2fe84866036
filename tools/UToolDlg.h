#pragma once
#include <QDialog>

// The tool box: current tool, loop switch and pen colour.
class TToolDlg : public QDialog {
    Q_OBJECT
public:
    explicit TToolDlg(QWidget* parent = nullptr);
    void UpdateFromToolData();
};

extern TToolDlg* ToolDlg;
