#pragma once
// Reading the encoders' running output: ffmpeg writes "time=HH:MM:SS.xx" status lines ended by
// '\r', mencoder writes "( 5%)" lines on stdout, also ended by '\r'. A read of the pipe can end
// in the middle of such a line, so the text is kept in a line buffer across reads and only
// complete lines are parsed.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vx {

// What a conversion step is, for the progress shown to the user. Kind 0 parses nothing.
enum EProgressKind : int
{
    PK_NONE = 0,
    PK_PREDICT_SAMPLE = 1, // prediction on the two-minute sample
    PK_PREDICT_ALL = 2,    // prediction over the whole input
    PK_VBR = 3,            // constant-quality encode of the source
    PK_MENCODER = 4,       // middle file through mencoder
    PK_TSMUXER = 5,        // middle file through the TS remuxer
    PK_VBR_MIDDLE = 6,     // constant-quality encode of the middle file
    PK_CBR = 7,            // fixed-rate encode of the source, or the tag remux
    PK_CBR_MIDDLE = 8,     // fixed-rate encode of the middle file
    PK_AUDIO = 9           // still picture plus the audio
};

class CEncoderOutput
{
public:
    explicit CEncoderOutput(int kind) : m_nKind(kind) {}

    // Takes what one read returned. True when a completed line carried a new position (a
    // "time=" value for ffmpeg kinds, a percent for mencoder).
    bool Feed(std::string_view chunk);

    // Latest position: seconds for ffmpeg kinds, percent for mencoder; negative before any.
    double Position() const { return m_dPosition; }
    // The last few complete lines, for the log when a step fails.
    std::string Tail() const;

    // Line parsers, exposed for the tests. Negative when the line holds no usable value.
    static double ParseTime(std::string_view line);
    static int ParseMencoderPercent(std::string_view line);

private:
    bool ParseLine(std::string_view line);

    int m_nKind;
    std::string m_strPartial;
    std::deque<std::string> m_tail;
    double m_dPosition = -1.0;
};

// The progress shown after a position of a step of the given kind was read. durationMs is the
// source's general duration; without a duration no progress can be derived from a time and the
// old value stays.
uint8_t NextProgress(int kind, uint8_t oldProgress, double position, int durationMs);

} // namespace vx
