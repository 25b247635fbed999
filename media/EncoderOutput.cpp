#include "media/EncoderOutput.h"

#include <algorithm>
#include <cstdlib>

namespace vx {

namespace {

constexpr size_t kMaxLine = 64 * 1024; // a "line" longer than this is not status text
constexpr size_t kTailLines = 6;

// Reads a non-negative decimal number (with an optional fraction) at the front of s.
bool ReadNumber(std::string_view s, double* value, size_t* used)
{
    size_t i = 0;
    double v = 0;
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            v += (s[i] - '0') * scale;
            scale /= 10;
            ++i;
            digits = true;
        }
    }
    *value = v;
    *used = i;
    return digits;
}

} // namespace

bool CEncoderOutput::Feed(std::string_view chunk)
{
    bool updated = false;
    size_t start = 0;
    for (size_t i = 0; i < chunk.size(); ++i) {
        if (chunk[i] != '\r' && chunk[i] != '\n')
            continue;
        if (m_strPartial.empty()) {
            updated |= ParseLine(chunk.substr(start, i - start));
        } else {
            m_strPartial.append(chunk.substr(start, i - start));
            updated |= ParseLine(m_strPartial);
            m_strPartial.clear();
        }
        start = i + 1;
    }
    m_strPartial.append(chunk.substr(start));
    if (m_strPartial.size() > kMaxLine)
        m_strPartial.clear();
    return updated;
}

bool CEncoderOutput::ParseLine(std::string_view line)
{
    if (line.empty())
        return false;
    if (m_tail.size() == kTailLines)
        m_tail.pop_front();
    m_tail.emplace_back(line.substr(0, 400));

    if (m_nKind < PK_PREDICT_SAMPLE || m_nKind > PK_AUDIO)
        return false;
    double pos = m_nKind == PK_MENCODER ? ParseMencoderPercent(line) : ParseTime(line);
    if (pos < 0)
        return false;
    m_dPosition = pos;
    return true;
}

std::string CEncoderOutput::Tail() const
{
    std::string text;
    for (const std::string& l : m_tail) {
        if (!text.empty())
            text += " | ";
        text += l;
    }
    if (!m_strPartial.empty())
        text += (text.empty() ? "" : " | ") + m_strPartial.substr(0, 400);
    return text;
}

double CEncoderOutput::ParseTime(std::string_view line)
{
    size_t at = line.rfind("time=");
    if (at == std::string_view::npos)
        return -1;
    std::string_view s = line.substr(at + 5);
    bool negative = !s.empty() && s[0] == '-';
    if (negative)
        s.remove_prefix(1);
    double h = 0, m = 0, sec = 0;
    size_t used = 0;
    if (!ReadNumber(s, &h, &used) || used >= s.size() || s[used] != ':')
        return -1;
    s.remove_prefix(used + 1);
    if (!ReadNumber(s, &m, &used) || used >= s.size() || s[used] != ':')
        return -1;
    s.remove_prefix(used + 1);
    if (!ReadNumber(s, &sec, &used))
        return -1;
    // Whole seconds only: the fraction is cut, as the progress only needs seconds.
    double t = static_cast<long long>(h) * 3600.0 + static_cast<long long>(m) * 60.0 +
               static_cast<double>(static_cast<long long>(sec));
    return negative ? 0.0 : t;
}

int CEncoderOutput::ParseMencoderPercent(std::string_view line)
{
    size_t end = line.rfind("%) ");
    if (end == std::string_view::npos) {
        // The status line is often the last text before '\r', without the blank after it.
        if (line.size() >= 2 && line.substr(line.size() - 2) == "%)")
            end = line.size() - 2;
        else
            return -1;
    }
    size_t open = line.rfind('(', end);
    if (open == std::string_view::npos)
        return -1;
    std::string_view num = line.substr(open + 1, end - open - 1);
    while (!num.empty() && num.front() == ' ')
        num.remove_prefix(1);
    double v = 0;
    size_t used = 0;
    if (!ReadNumber(num, &v, &used) || used != num.size())
        return -1;
    return static_cast<int>(v);
}

uint8_t NextProgress(int kind, uint8_t oldProgress, double position, int durationMs)
{
    if (position < 0)
        position = 0;
    double total = durationMs / 1000.0;
    double x = 0;
    switch (kind) {
    case PK_PREDICT_SAMPLE:
        x = position / 120.0;
        break;
    case PK_MENCODER:
        x = position / 100.0;
        break;
    case PK_PREDICT_ALL:
    case PK_VBR:
    case PK_TSMUXER:
    case PK_VBR_MIDDLE:
    case PK_CBR:
    case PK_CBR_MIDDLE:
    case PK_AUDIO:
        if (total <= 0)
            return oldProgress; // no duration: a time cannot become a share
        x = position / total;
        break;
    default:
        return oldProgress;
    }
    auto scaled = [x](double f) { return static_cast<int>(std::min(x * f + 0.5, 1000.0)); };
    int o = oldProgress;
    // The final encode after earlier steps: once the bar stands above the encode's own count,
    // the earlier steps' share is added to it.
    auto afterEarlier = [&scaled, o](double share, int earlier) {
        int v = scaled(share);
        return std::min(o > v ? v + earlier : v, 99);
    };
    int p = 0;
    switch (kind) {
    case PK_PREDICT_SAMPLE:
    case PK_PREDICT_ALL: {
        int v = scaled(10);
        p = o > v ? o + v : v;
        p = std::min(p, o >= 20 ? 30 : 10);
        break;
    }
    case PK_VBR:
        p = afterEarlier(89, 10);
        break;
    case PK_MENCODER:
    case PK_TSMUXER:
        p = std::min(scaled(20), 20);
        break;
    case PK_VBR_MIDDLE:
        p = afterEarlier(69, 30);
        break;
    case PK_CBR:
    case PK_AUDIO:
        p = std::min(scaled(99), 99);
        break;
    case PK_CBR_MIDDLE:
        p = afterEarlier(79, 20);
        break;
    }
    return static_cast<uint8_t>(std::clamp(p, 0, 255));
}

} // namespace vx
