#include "account/ConvertCount.h"

#include <algorithm>

namespace vx {

int ConversionCountChoice(int stored, int cpuCount)
{
    const int n = std::max(1, cpuCount);
    if (stored > n)
        return 1;
    if (stored >= 1)
        return stored;
    if (n <= 2)
        return 1;
    if (n <= 4)
        return 2;
    if (n <= 8)
        return 4;
    return 1;
}

} // namespace vx
