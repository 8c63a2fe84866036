// SPDX-License-Identifier: MIT
// What a start of Marlo is held against: the least a Qt program with a Japanese interface shows,
// an 800 x 600 main window with two Japanese menus and a status line message, nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(800, 600);
    window.menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    window.menuBar()->addMenu(QStringLiteral("編集(&E)"));
    window.statusBar()->showMessage(QStringLiteral("準備完了"));
    window.show();
    return app.exec();
}
