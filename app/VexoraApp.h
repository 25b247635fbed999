#pragma once
// The main program's run, in the order start-up needs: logs, one instance, the version check
// (and hand-off to Update), leftover encoders, crash dumps, then the user interface.

#include <string>
#include <vector>

namespace vx {

class CVexoraV2App
{
public:
    // Runs the whole program; returns the process exit code.
    int InitInstance(const std::vector<std::string>& ownArgs);

private:
    void WriteBanner(const char* word);
    // Until the windows exist the program runs headless and reports where everything lives.
    void RunHeadless();
};

} // namespace vx
