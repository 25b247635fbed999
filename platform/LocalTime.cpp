#include "platform/LocalTime.h"

#include <time.h>

namespace vx {

std::tm LocalTimeOf(std::time_t t)
{
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

std::tm LocalTimeNow()
{
    return LocalTimeOf(std::time(nullptr));
}

} // namespace vx
