// Update: started by VexoraV2 when a newer release is out. Runs from the temporary folder,
// ends the main program, downloads and runs the installer, then starts the main program again.

#include "platform/Paths.h"
#include "platform/Socket.h"
#include "updater/DownloadWnd.h"
#include "updater/UpdateArgs.h"
#include "updater/UpdateStartup.h"

#include <QApplication>
#include <QScreen>
#include <climits>
#include <unistd.h>

using namespace vx;

namespace {

std::string SelfPath()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    IgnoreSigpipe();
    std::vector<std::string> args(argv + 1, argv + argc);

    // The installer replaces the program folder, this program included: work from a copy in
    // the temporary folder. Any failure here ends quietly; the main program is gone already
    // or will simply start again next time.
    const std::string tempFolder = GetTempFolder();
    if (!IsSameFolder(GetProgramFolder(), tempFolder)) {
        std::string copy = CopySelfToTemp(SelfPath(), tempFolder);
        if (!copy.empty())
            StartDetached(copy, args);
        return 0;
    }

    UpdateArgs fields = SplitUpdateArgs(args);
    EndMainProgram(fields.mainProgramPath);

    QApplication app(argc, argv);
    CDownloadWnd wnd(fields);
    if (QScreen* screen = wnd.screen())
        wnd.move(screen->availableGeometry().center() - wnd.rect().center());
    wnd.show();
    wnd.InitWindow();
    app.exec();
    return 0;
}
