#pragma once
// Steps the commands share: a command line that must hold no words, and a record printed as
// one JSON line.

#include "cli/CliArgs.h"
#include "cli/JsonOut.h"

#include <optional>
#include <string>

namespace vx::cli {

// True when no positional word is left. Otherwise the usage line has been printed with the
// parser's error, or with why when the line merely has words, and *exitCode holds the status.
bool NoArguments(CCliArgs& args, const std::string& why, int* exitCode);

// An option's text as a whole number from lo to hi, into *value (left as it is when the option
// was not given). False when it was given but is no such number.
bool ParseBounded(const std::optional<std::string>& text, long lo, long hi, int* value);

// The record's JSON object on one line of standard output.
void PrintJsonLine(const CJsonOut& out);

// A name or server text made safe for plain output: a line feed, tab or any other control
// character (C0, DEL and the C1 range) would forge extra lines or columns, or drive the
// terminal, so each becomes a visible escape ("\n", "\t", "\x1b", "\u009b"); a backslash is
// doubled so the escapes stay unambiguous. Everything else, UTF-8 included, stays as it is.
std::string PlainText(const std::string& text);

// A text of our own (a language text, a tooltip) on one line: its line breaks become blanks and
// trailing blanks go. Escape it for output (PlainText) afterwards, as Fail does.
std::string OneLine(std::string text);

// At most `columns` characters (code points) of an escaped text; a longer one is cut at a
// character boundary and ends in "...".
std::string FitWidth(const std::string& text, size_t columns);

} // namespace vx::cli
