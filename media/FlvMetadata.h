#pragma once
// The onMetaData of an FLV file, read the way a web player reads it: the script tag at the start
// of the file with the picture size, the length and the keyframe index the player seeks with.
// The conversion checks every tagged output with it, so a file whose metadata would make the
// player show the picture at a wrong size or seek to the wrong place is never passed on.

#include <map>
#include <string>
#include <vector>

namespace vx {

struct FlvMetadata
{
    std::map<std::string, double> numbers;  // the numeric entries (duration, width, filesize ...)
    bool bHasKeyframes = false;             // a keyframes entry is present
    std::vector<double> vKeyframeTimes;     // seconds
    std::vector<double> vKeyframePositions; // byte offsets of the keyframes' tags

    // The number under name, or 0 when there is none.
    double Number(const std::string& name) const;
};

// Reads the header and the onMetaData tag right after it; false with the cause in *error when the
// file is no FLV, cannot be read, or does not begin with onMetaData.
bool ReadFlvMetadata(const std::string& path, FlvMetadata* out, std::string* error);

// Checks what the player relies on: a duration, the file size the file has, and for a file with
// video a picture size, a frame rate and a keyframe index whose every entry points at a video
// keyframe of that time. Empty when all is well, else the first fault found.
std::string CheckFlvMetadata(const std::string& path, bool hasVideo);

} // namespace vx
