#pragma once
#include <QMainWindow>

class QMdiArea;
class TMDIChild;

// The main frame: a multiple-document area holding the chip windows.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    void CreateChip(const QString& Caption, int Width, int Height, bool Blank);
    QMdiArea* mdiArea() const { return FMdiArea; }

private:
    QMdiArea* FMdiArea = nullptr;
};

extern TMainForm* MainForm;
