#pragma once
// The encoder command lines of a conversion, as argument vectors: every file name is one
// argument and reaches the program unchanged, whatever blanks, quotes or shell characters it
// holds. Text() renders a line for the conversion log only; nothing ever runs it through a shell.

#include <ctime>
#include <string>
#include <vector>

namespace vx {

struct CCommandLine
{
    std::string exe;               // argv[0]: the program's path in our codecs/ folder
    std::vector<std::string> args; // argv[1..]

    // Double-quoted program and file names, as the log shows them.
    std::string Text() const;
    // Replaces the value after "-crf"; false when the line has none.
    bool SetCrf(int crf);
    // The value after an option, empty when absent (for the log and the tests).
    std::string ValueOf(const std::string& option) const;
};

// True when two encoder lines make the same file apart from its name: the same program and the
// same arguments but the last one (the output). An x264 line that forces "-profile:v high" makes
// the same stream as one that leaves it out when the picture is 8-bit 4:2:0: with our x264
// settings (8x8 transform, CABAC) the encoder picks High by itself, and the option only checks
// that nothing outside the profile is asked for.
bool SameEncodeBesidesOutput(const CCommandLine& a, const CCommandLine& b);

// A relative path that begins with '-' would be read as an option: it gets "./" in front.
std::string SafePathArg(const std::string& path);

// "%02d:%02d:%02d" of a number of seconds.
std::string FormatClock(int seconds);

// Target stream values shared by the encode lines.
struct EncodeTarget
{
    int channels = 0;
    float frameRate = 0;
    int width = 0;
    int height = 0;
};

// Video stream copied, audio made AAC, container FLV.
CCommandLine MakeCopyCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t,
                             const std::string& out);
// Constant-quality x264 encode; profileOption is "" or "-profile:v high".
CCommandLine MakeVbrCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t, int crf,
                            const std::string& profileOption, const std::string& out);
// Prediction encode: the two minutes from startSeconds, or the whole input when startSeconds is
// negative. The seek is an input option, so only the sample is decoded.
CCommandLine MakePredictCommand(const std::string& ffmpeg, const std::string& in, int startSeconds,
                                const EncodeTarget& t, int crf, const std::string& out);
// Fixed-rate x264 encode at kbps; deinterlace adds the de-interlace filter.
CCommandLine MakeCbrCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t,
                            bool deinterlace, int kbps, const std::string& profileOption,
                            const std::string& out);
// Both streams copied into a new FLV (the file only needs our tag).
CCommandLine MakeRemuxCommand(const std::string& ffmpeg, const std::string& in, const std::string& out);
// Still picture plus the audio of in.
CCommandLine MakeAudioCommand(const std::string& ffmpeg, const std::string& image, const std::string& in,
                              int channels, const std::string& out);
// Middle AVI through mencoder (XviD and MP3). inputFps is the source's average frame rate: read
// through libavformat at that rate, mencoder keeps the picture as long as the sound even when the
// source's frame rate varies (its own demuxer drops most frames of such files).
CCommandLine MakeMencoderCommand(const std::string& mencoder, const std::string& in, const std::string& out,
                                 int channels, int samplingRate, float frameRate, int kbps, float inputFps);
// Middle TS through the remuxer, driven by its meta file.
CCommandLine MakeTsMuxerCommand(const std::string& tsMuxer, const std::string& meta, const std::string& out);
// Metadata and our tag written by Yamdi-Extend; the tag carries the local time tm.
CCommandLine MakeTagCommand(const std::string& yamdi, const std::string& in, const std::string& out,
                            const std::tm& tm);
// The remuxer's meta file text (CR LF line ends) for the copied source.
std::string MakeTsMetaText(const std::string& src, float frameRate);

// The text our tag begins with; a file whose encoded application holds it is ours.
constexpr const char* kProgramTag = "Tolvane Vexora 2.0";

} // namespace vx
