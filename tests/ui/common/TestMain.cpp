// The main of every window test program: a QApplication with the program's resources, then each
// registered test class (VX_REGISTER_QTEST), or only the one named as the first argument:
//   vx_ui_main_tests [CLASS] [QTest options]
// Exits 1 when any class failed.

#include "common/TestRegistry.h"
#include "ui/UiApplication.h"

#include <QApplication>
#include <QTest>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vx::ApplyStyleSheet(app);
    const char* only = (argc > 1 && argv[1][0] != '-') ? argv[1] : nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = only ? 2 : 1; i < argc; ++i)
        args.push_back(argv[i]);
    int failed = 0, ran = 0;
    for (auto& [name, make] : vx::test::QTestRegistry()) {
        if (only && strcmp(only, name) != 0)
            continue;
        ++ran;
        std::unique_ptr<QObject> t = make();
        failed += QTest::qExec(t.get(), static_cast<int>(args.size()), args.data());
    }
    if (only && ran == 0) {
        fprintf(stderr, "%s: no test class named %s\n", argv[0], only);
        return 1;
    }
    return failed ? 1 : 0;
}
