#include "platform/CommandLine.h"

namespace vx {

void UseUtf8Arguments(int*, char***) {}

} // namespace vx
