#pragma once
// One line per request on stderr ("HH:MM:SS.mmm [web] GET /login.do -> 200"), serialised so
// lines from different server threads never mix.

#include "platform/PrintfFormat.h"

namespace vx::sim {

void SetLogQuiet(bool quiet);
void SimLog(const char* fmt, ...) VX_PRINTF_FORMAT(1, 2);

} // namespace vx::sim
