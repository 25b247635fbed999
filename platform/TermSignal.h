#pragma once
// The end of the desktop session reaches a program as SIGTERM (a log-out, a shut-down, a
// session manager that gives up waiting), a closed terminal as SIGHUP, Ctrl+C as SIGINT. Left
// alone they end the process on the spot, with records half written and encoders orphaned.
// WatchTermSignals turns them into bytes on a pipe instead, so the program's own loop can
// notice them and close in order.

namespace vx {

// Installs the handlers (once per process) and returns the read end of the pipe, non-blocking;
// -1 when it could not be set up (the signals then keep their default action).
int WatchTermSignals();

// Reads what the handlers wrote; returns the last signal that arrived, 0 when none.
int TakeTermSignal(int fd);

} // namespace vx
