#pragma once
// A console program that runs until it is asked to stop: Ctrl-C or a termination request
// (SIGINT, SIGTERM; Ctrl-C, Ctrl-Break and closing the console on Windows).

namespace vx {

// Takes the stop requests away from their default action for the whole process. Call it
// before any thread starts, so that every thread inherits it.
void HoldStopRequests();
// Waits until a stop request arrives; returns its signal number.
int WaitForStopRequest();

} // namespace vx
