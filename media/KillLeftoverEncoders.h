#pragma once
// Ends encoder processes that an earlier run of this program left behind. Only processes
// started from our own codecs/ folder are touched: our encoders are started with their
// codecs/ path as argv[0] (the TS remuxer, a script, carries it as the interpreter's first
// argument), so another program's ffmpeg or mencoder is never ended.

#include "platform/Process.h"

#include <string>
#include <vector>

namespace vx {

// The programs of codecs/ that run as encoders.
const std::vector<std::string>& EncoderNames();

// Processes of this user started from one of our encoders in codecsFolder.
std::vector<ProcessId> FindLeftoverEncoders(const std::string& codecsFolder);

// Ends them; returns how many were ended. codecsFolder defaults to our codecs/ folder (GetCodecsFolder).
int KillLeftoverEncoders(const std::string& codecsFolder = "");

} // namespace vx
