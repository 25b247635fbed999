#pragma once
// How many conversions run at once when the user has made no (valid) choice: the count the
// settings windows preselect. Kept apart so that the pipeline and the windows agree.

namespace vx {

// The count to use: the stored count when it lies within 1..cpuCount; above the processor
// count 1; without a choice (below 1) 1 for up to 2 processors, 2 for up to 4, 4 for up to 8
// and 1 for more.
int ConversionCountChoice(int stored, int cpuCount);

} // namespace vx
