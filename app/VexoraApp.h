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

private:
    void WriteBanner(const char* word);
    // Until the windows exist the program runs headless and reports where everything lives.
    void RunHeadless();
    void ShowError(const std::string& text, const std::string& caption);

    ErrorSink m_showError;
};

} // namespace vx
