// Update: started by VexoraV2 when a newer release is out. Runs from a private temporary folder,
// ends the main program, downloads and runs the installer, then starts the main program again.

#include "platform/Paths.h"
#include "platform/Socket.h"
#include "updater/DownloadWnd.h"
#include "updater/UpdateArgs.h"
#include "updater/UpdateStartup.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>

using namespace vx;

int main(int argc, char** argv)
{
    IgnoreSigpipe();
    std::vector<std::string> args(argv + 1, argv + argc);

    // The installer replaces the program folder, this program included: work from a copy in
    // a folder only this user can enter. When that fails the main program must hear of it
    // (it waits for our exit status and starts normally), so say why and end non-zero.
    if (!IsRelocatedCopy()) {
        std::string err;
        if (!Relocate(GetProgramPath(), args, &err)) {
            fprintf(stderr, "Update: cannot run from a private temporary folder: %s\n", err.c_str());
            return 1;
        }
        return 0;
    }

    UpdateArgs fields = SplitUpdateArgs(args);
    EndMainProgram(fields.mainProgramPath);

    QApplication app(argc, argv);
    ApplyUpdateStyleSheet(app);
    CDownloadWnd wnd(fields);
    // The installer lands beside this copy, out of reach of other local users.
    DownloadSettings settings;
    settings.tempFolder = GetProgramFolder();
    wnd.SetDownloadSettings(settings);
    if (QScreen* screen = wnd.screen())
        wnd.move(screen->availableGeometry().center() - wnd.rect().center());
    wnd.show();
    wnd.InitWindow();
    app.exec();
    return 0;
}
