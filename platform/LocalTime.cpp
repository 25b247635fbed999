#include "platform/LocalTime.h"

#include <time.h>

namespace vx {

std::tm LocalTimeOf(std::time_t t)
{
    std::tm out{};
#ifdef _WIN32
    localtime_s(&out, &t);
#else
    localtime_r(&t, &out);
#endif
    return out;
}

std::tm LocalTimeNow()
{
    return LocalTimeOf(std::time(nullptr));
}

} // namespace vx
