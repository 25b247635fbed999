// VexoraV2: the main program. With a display it opens the login window and, once signed in,
// the main window; with --headless (or without any display) it reports where everything lives.

#include "platform/Utf8.h"
#include "vexora/VexoraApp.h"
#ifdef VX_WITH_UI
#include "ui/UiApplication.h"
#include "ui/VxMessageWnd.h"
#include "ui/main/InstanceServer.h"
#include "ui/main/MainSession.h"

#include <QGuiApplication>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

bool DisplayAvailable()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = getenv(name);
        if (v && *v)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    vx::InitUtf8Locale();
    std::vector<std::string> args(argv + 1, argv + argc); // before Qt takes its own options
    const bool headless =
        std::find(args.begin(), args.end(), "--headless") != args.end() || !DisplayAvailable();
#ifdef VX_WITH_UI
    vx::CUiApplication gui(argc, argv); // Qt and the loop bridge outlive the application object
    vx::CVexoraV2App app;
    if (!headless) {
        app.SetErrorSink([](const std::string& text, const std::string& caption) {
            fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            // Nobody could answer a box on the offscreen platform.
            if (QGuiApplication::platformName() != QLatin1String("offscreen"))
                vx::ShowMessageBox(nullptr, QString::fromStdString(caption), QString::fromStdString(text), 1);
        });
        app.SetRaiseRunning([] { return vx::CInstanceServer::RaiseRunning(); });
        std::string user, password;
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "--user")
                user = args[i + 1];
            else if (args[i] == "--password")
                password = args[i + 1];
        }
        app.SetRunWindows([user, password] { return vx::RunMainWindows(user, password); });
    }
    return app.InitInstance(args);
#else
    (void)headless;
    vx::CVexoraV2App app;
    return app.InitInstance(args);
#endif
}
