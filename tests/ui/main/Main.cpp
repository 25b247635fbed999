// Runs the main window's test classes in one program (offscreen).

#include "ui/UiApplication.h"

#include <QApplication>
#include <QtTest>

int RunMainWndTests(int argc, char** argv);
int RunMainSessionTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vx::InitUiResources();
    int failed = RunMainWndTests(argc, argv);
    failed += RunMainSessionTests(argc, argv);
    return failed;
}
