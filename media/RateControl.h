#pragma once
// Rate-control arithmetic of the conversion: target bit rates by picture width, the sample
// position of the prediction, the CRF search and the output duration comparison. Pure
// functions, so the search can be followed step by step without running an encoder.

#include <cstdint>
#include <string>

namespace vx {

// Video bit rate (bit/s) of an upload-ready output of this width.
int TargetVideoBitRate(int width);
// Video bit rate (bit/s) of a middle file of this width (high, so the middle file loses little).
int MiddleVideoBitRate(int width);

// Inputs of at most this much video are predicted on the whole file.
constexpr int kWholePredictMs = 120000;
// Start second of the two-minute sample: one minute before the middle. Negative for a short
// input (the prediction then encodes all of it).
int SampleStartSeconds(int videoDurationMs);

// The search for the lowest CRF whose output stays at or below the target bit rate. The first
// try is at CRF 24; after that the step is estimated from the measured change per CRF step.
class CCrfSearch
{
public:
    enum EStep
    {
        FOUND,   // the current CRF meets the target
        NEXT,    // try again at Crf()
        AT_LIMIT // CRF 51 is still above the target: encode at 51
    };

    static constexpr int kFirstCrf = 24;
    static constexpr int kMaxCrf = 51;

    CCrfSearch(int64_t sourceBitRate, int64_t targetBitRate);

    // The measured video bit rate of the try at Crf(). warning receives a log text when the
    // measurements did not behave (the rate did not fall as the CRF rose).
    EStep Measured(int64_t bitRate, std::string* warning = nullptr);

    int Crf() const { return m_nCrf; }
    int Tries() const { return m_nTries; }
    int Increment() const { return m_nIncrement; }
    int64_t Target() const { return m_i64Target; }

private:
    int m_nCrf = kFirstCrf;
    int m_nTries = 1;
    int m_nIncrement = 0;
    int64_t m_i64Last;
    int64_t m_i64Target;
};

// True for an H.264 profile that FLV players cannot decode (10-bit, 4:2:2, 4:4:4), in the
// spellings of older encoders ("high10") and of the probe ("high 4:4:4 predictive@l1.3").
bool IsHighBitDepthProfile(const std::string& lowerProfile);

// True when an output of outMs matches a source of srcMs: within 0.7 s or 3 %, whichever is
// larger. A source without a duration cannot be compared and passes.
bool DurationMatches(int srcMs, int outMs);

} // namespace vx
