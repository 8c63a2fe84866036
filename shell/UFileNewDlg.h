#pragma once
#include <QDialog>

class TFileNewDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFileNewDlg(QWidget* parent = nullptr);
};

extern TFileNewDlg* FileNewDlg;
