#pragma once
// The program's windows for one run (start-up steps 9 to 11): the main window created hidden,
// the login window over it, the instance socket that lets a second start raise them, and Qt's
// event loop (driving the program's message loop through the bridge) until the program ends.

#include <string>

namespace vx {

// Returns the exit code. Expects the QApplication and the loop bridge (CUiApplication).
// user, password: filled into the login window when not empty (the demo's account).
int RunMainWindows(const std::string& user = std::string(), const std::string& password = std::string());

} // namespace vx
