#pragma once
// The local calendar time, thread-safe (the C library's localtime shares one buffer).

#include <ctime>

namespace vx {

// Broken-down local time of t.
std::tm LocalTimeOf(std::time_t t);
// Broken-down local time of now.
std::tm LocalTimeNow();

} // namespace vx
