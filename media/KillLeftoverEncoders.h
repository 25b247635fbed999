#pragma once
// Ends encoder processes that an earlier run left behind. Only processes started from our own
// codecs/ folder are touched (our encoders carry their codecs/ path as argv[0]; the TS remuxer, a
// script, as the shell's first argument), so another program's ffmpeg or mencoder is never
// ended; and of those only leftovers: an encoder whose starter (a `vexora run`, a `vexora
// convert`, another window, a test) still works is its starter's business.

#include "platform/Process.h"

#include <string>
#include <vector>

namespace vx {

// The programs of codecs/ that run as encoders.
const std::vector<std::string>& EncoderNames();

// Processes of this user started from one of our encoders in codecsFolder, whoever started them.
std::vector<ProcessId> FindEncoders(const std::string& codecsFolder);
// Those of them whose starter has ended, or that carry no note of their starter (an older
// version's, or one started by hand).
std::vector<ProcessId> FindLeftoverEncoders(const std::string& codecsFolder);

// Ends the leftovers; returns how many were ended. codecsFolder defaults to our codecs/ folder
// (GetCodecsFolder).
int KillLeftoverEncoders(const std::string& codecsFolder = "");

} // namespace vx
