#pragma once
// The main program's run, in the order start-up needs: logs, one instance, the version check
// (and hand-off to Update), leftover encoders, crash dumps, then the user interface.

#include <functional>
#include <string>
#include <vector>

namespace vx {

class CVexoraV2App
{
public:
    // Runs the whole program; returns the process exit code.
    int InitInstance(const std::vector<std::string>& ownArgs);

    // How start-up shows an error to the user (text, caption). Until the windows exist the
    // program is headless and writes it to stderr; the window layer plugs in its message box.
    using ErrorSink = std::function<void(const std::string& text, const std::string& caption)>;
    void SetErrorSink(ErrorSink sink) { m_showError = std::move(sink); }

    // The windows' run (steps 9 to 11: main window hidden, login window, event loop); returns
    // the exit code. Without it the program runs headless and reports where everything lives.
    void SetRunWindows(std::function<int()> run) { m_runWindows = std::move(run); }
    // Asks the running instance to raise its login or main window; true when one answered.
    void SetRaiseRunning(std::function<bool()> raise) { m_raiseRunning = std::move(raise); }

private:
    void WriteBanner(const char* word);
    // Without windows (or with --headless) the program reports where everything lives.
    void RunHeadless();
    void ShowError(const std::string& text, const std::string& caption);

    ErrorSink m_showError;
    std::function<int()> m_runWindows;
    std::function<bool()> m_raiseRunning;
};

} // namespace vx
