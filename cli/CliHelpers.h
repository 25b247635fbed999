#pragma once
// Steps the commands share: a command line that must hold no words, and a record printed as
// one JSON line.

#include "cli/CliArgs.h"
#include "cli/JsonOut.h"

#include <string>

namespace vx::cli {

// True when no positional word is left. Otherwise the usage line has been printed with the
// parser's error, or with why when the line merely has words, and *exitCode holds the status.
bool NoArguments(CCliArgs& args, const std::string& why, int* exitCode);

// The record's JSON object on one line of standard output.
void PrintJsonLine(const CJsonOut& out);

} // namespace vx::cli
