// Runs every registered list test class: vx_ui_lists_tests [CLASS [QTest options]].

#include "foundation/TestRegistry.h"
#include "ui/UiApplication.h"

#include <QApplication>
#include <QTest>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vx::InitUiResources();
    const char* only = (argc > 1 && argv[1][0] != '-') ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i)
        args.push_back(argv[i]);
    int failed = 0;
    for (auto& [name, make] : vx::test::QTestRegistry()) {
        if (only && strcmp(only, name) != 0)
            continue;
        std::unique_ptr<QObject> t = make();
        failed += QTest::qExec(t.get(), static_cast<int>(args.size()), args.data());
    }
    return failed ? 1 : 0;
}
