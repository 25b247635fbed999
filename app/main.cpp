// VexoraV2: the main program.

#include "app/VexoraApp.h"
#include "platform/Utf8.h"

int main(int argc, char** argv)
{
    vx::InitUtf8Locale();
    vx::CVexoraV2App app;
    return app.InitInstance(std::vector<std::string>(argv + 1, argv + argc));
}
