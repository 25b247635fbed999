#pragma once
// The registry moved to tests/ui/common, beside the main that every window test program shares.
#include "common/TestRegistry.h"
