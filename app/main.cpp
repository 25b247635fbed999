// VexoraV2: the main program.

#include "app/VexoraApp.h"
#include "platform/Utf8.h"
#ifdef VX_WITH_UI
#include "ui/UiApplication.h"
#endif

int main(int argc, char** argv)
{
    vx::InitUtf8Locale();
    std::vector<std::string> args(argv + 1, argv + argc); // before Qt takes its own options
#ifdef VX_WITH_UI
    vx::CUiApplication gui(argc, argv); // Qt and the loop bridge outlive the application object
#endif
    vx::CVexoraV2App app;
    return app.InitInstance(args);
}
