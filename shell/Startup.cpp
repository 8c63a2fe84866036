#include "shell/Startup.h"

#include <QApplication>

#include "shell/Main.h"

int RunMarlo(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ossery"));
    MainForm = new TMainForm;
    MainForm->show();
    const int rc = app.exec();
    delete MainForm;
    MainForm = nullptr;
    return rc;
}
