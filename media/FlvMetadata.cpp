#include "media/FlvMetadata.h"

#include "platform/Paths.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace vx {

namespace {

constexpr uint8_t kVideoTag = 9;
constexpr uint8_t kScriptTag = 18;
constexpr size_t kTagHeader = 11;
// Far above any real index (two hours with a keyframe a second is about 130 KB); a larger
// claim is a damaged file, not a reason to allocate.
constexpr uint32_t kMaxScriptSize = 64u << 20;
// Nested objects in a real onMetaData go two or three deep.
constexpr int kMaxDepth = 32;
// Index times are the tags' millisecond time stamps in seconds.
constexpr double kTimeSlack = 0.0015;

std::ifstream OpenRead(const std::string& path, bool unbuffered)
{
    std::ifstream in;
    // The index check reads a dozen bytes here and there; a buffer would read kilobytes each time.
    if (unbuffered)
        in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    return in;
}

uint32_t BigEndian(const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

struct AmfValue
{
    enum Kind
    {
        Number,
        Text,
        Object, // object, ECMA array or typed object: named members
        Array,  // strict array: items
        Other   // boolean, null, date, reference ...: nothing we read
    };
    Kind kind = Other;
    double number = 0;
    std::string text;
    std::vector<std::pair<std::string, AmfValue>> members;
    std::vector<AmfValue> items;

    const AmfValue* Member(const std::string& name) const
    {
        for (const auto& [n, v] : members)
            if (n == name)
                return &v;
        return nullptr;
    }
};

// AMF0, the encoding of FLV script tags.
class CAmfReader
{
public:
    explicit CAmfReader(const std::string& data) : m_data(data) {}

    bool Value(AmfValue* v, int depth = 0)
    {
        uint8_t type = 0;
        if (depth > kMaxDepth || !Byte(&type))
            return false;
        switch (type) {
        case 0: // number
            v->kind = AmfValue::Number;
            return Double(&v->number);
        case 1: // boolean
            return Skip(1);
        case 2: // string
            v->kind = AmfValue::Text;
            return ShortText(&v->text);
        case 3: // object
            v->kind = AmfValue::Object;
            return Members(v, depth);
        case 5: // null
        case 6: // undefined
            return true;
        case 7: // reference
            return Skip(2);
        case 8: // ECMA array: a count, then named members like an object
            v->kind = AmfValue::Object;
            return Skip(4) && Members(v, depth);
        case 10: { // strict array
            uint32_t count = 0;
            if (!Unsigned(4, &count) || count > m_data.size() - m_pos)
                return false; // every item takes at least one byte
            v->kind = AmfValue::Array;
            v->items.resize(count);
            for (AmfValue& item : v->items)
                if (!Value(&item, depth + 1))
                    return false;
            return true;
        }
        case 11: // date: milliseconds and a time zone
            return Skip(10);
        case 12:   // long string
        case 15: { // XML document
            uint32_t len = 0;
            v->kind = AmfValue::Text;
            return Unsigned(4, &len) && Bytes(len, &v->text);
        }
        case 16: { // typed object: a class name, then members
            std::string className;
            v->kind = AmfValue::Object;
            return ShortText(&className) && Members(v, depth);
        }
        default:
            return false;
        }
    }

private:
    // Named members up to the end marker (an empty name and type 9). Some writers leave the
    // marker off at the very end of the tag; running out of data between members ends it too.
    bool Members(AmfValue* v, int depth)
    {
        for (;;) {
            if (m_pos == m_data.size())
                return true;
            std::string name;
            if (!ShortText(&name))
                return false;
            if (name.empty() && m_pos < m_data.size() && static_cast<uint8_t>(m_data[m_pos]) == 9) {
                ++m_pos;
                return true;
            }
            AmfValue member;
            if (!Value(&member, depth + 1))
                return false;
            v->members.emplace_back(std::move(name), std::move(member));
        }
    }

    bool Skip(size_t n)
    {
        if (m_data.size() - m_pos < n)
            return false;
        m_pos += n;
        return true;
    }
    bool Byte(uint8_t* b)
    {
        if (m_pos >= m_data.size())
            return false;
        *b = static_cast<uint8_t>(m_data[m_pos++]);
        return true;
    }
    bool Unsigned(int bytes, uint32_t* v)
    {
        if (m_data.size() - m_pos < static_cast<size_t>(bytes))
            return false;
        *v = BigEndian(reinterpret_cast<const unsigned char*>(m_data.data()) + m_pos, bytes);
        m_pos += static_cast<size_t>(bytes);
        return true;
    }
    bool Double(double* d)
    {
        if (m_data.size() - m_pos < 8)
            return false;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | static_cast<uint8_t>(m_data[m_pos + static_cast<size_t>(i)]);
        std::memcpy(d, &bits, sizeof(bits));
        m_pos += 8;
        return true;
    }
    bool Bytes(size_t n, std::string* out)
    {
        if (m_data.size() - m_pos < n)
            return false;
        out->assign(m_data, m_pos, n);
        m_pos += n;
        return true;
    }
    bool ShortText(std::string* out)
    {
        uint32_t len = 0;
        return Unsigned(2, &len) && Bytes(len, out);
    }

    const std::string& m_data;
    size_t m_pos = 0;
};

// The numbers of a strict array; false when an item is no number.
bool NumbersOf(const AmfValue* v, std::vector<double>* out)
{
    if (!v || v->kind != AmfValue::Array)
        return false;
    for (const AmfValue& item : v->items) {
        if (item.kind != AmfValue::Number)
            return false;
        out->push_back(item.number);
    }
    return true;
}

std::string Figure(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.0f", v);
    return buf;
}

// The tag at pos must be a video keyframe with the time stamp the index gives.
std::string CheckKeyframeTag(std::ifstream& in, int64_t fileSize, double pos, double time)
{
    const std::string where = "the keyframe index entry at " + Figure(time * 1000) + " ms ";
    if (!(pos >= 0) || pos != std::floor(pos) || pos + kTagHeader + 1 > static_cast<double>(fileSize))
        return where + "points outside the file (" + Figure(pos) + ")";
    unsigned char tag[kTagHeader + 1];
    in.clear();
    in.seekg(static_cast<std::streamoff>(pos));
    if (!in.read(reinterpret_cast<char*>(tag), sizeof(tag)))
        return "the file cannot be read";
    const uint32_t stamp = BigEndian(tag + 4, 3) | (static_cast<uint32_t>(tag[7]) << 24);
    if ((tag[0] & 0x1F) != kVideoTag || BigEndian(tag + 1, 3) == 0 || (tag[kTagHeader] >> 4) != 1)
        return where + "does not point at a video keyframe (offset " + Figure(pos) + ")";
    if (std::fabs(stamp / 1000.0 - time) > kTimeSlack)
        return where + "points at a frame of " + std::to_string(stamp) + " ms";
    return "";
}

} // namespace

double FlvMetadata::Number(const std::string& name) const
{
    auto it = numbers.find(name);
    return it == numbers.end() ? 0 : it->second;
}

bool ReadFlvMetadata(const std::string& path, FlvMetadata* out, std::string* error)
{
    *out = FlvMetadata();
    std::ifstream in = OpenRead(path, false);
    unsigned char header[9];
    if (!in || !in.read(reinterpret_cast<char*>(header), sizeof(header))) {
        *error = "the file cannot be read";
        return false;
    }
    if (std::memcmp(header, "FLV", 3) != 0 || BigEndian(header + 5, 4) < sizeof(header)) {
        *error = "not an FLV file";
        return false;
    }

    // The first tag follows the header and the zero size of the tag before it.
    unsigned char tag[4 + kTagHeader];
    in.seekg(BigEndian(header + 5, 4));
    const uint32_t size = in.read(reinterpret_cast<char*>(tag), sizeof(tag)) ? BigEndian(tag + 5, 3) : 0;
    if (!in || (tag[4] & 0x1F) != kScriptTag || size == 0 || size > kMaxScriptSize) {
        *error = "the file does not begin with its metadata";
        return false;
    }
    std::string data(size, '\0');
    if (!in.read(data.data(), size)) {
        *error = "the metadata tag is cut short";
        return false;
    }
    CAmfReader reader(data);
    AmfValue name, meta;
    if (!reader.Value(&name) || name.kind != AmfValue::Text || name.text != "onMetaData") {
        *error = "the file does not begin with its metadata";
        return false;
    }
    if (!reader.Value(&meta) || meta.kind != AmfValue::Object) {
        *error = "the metadata cannot be read";
        return false;
    }
    for (const auto& [key, value] : meta.members)
        if (value.kind == AmfValue::Number)
            out->numbers[key] = value.number;
    if (const AmfValue* index = meta.Member("keyframes")) {
        out->bHasKeyframes = true;
        if (!NumbersOf(index->Member("times"), &out->vKeyframeTimes) ||
            !NumbersOf(index->Member("filepositions"), &out->vKeyframePositions)) {
            *error = "the keyframe index cannot be read";
            return false;
        }
    }
    return true;
}

std::string CheckFlvMetadata(const std::string& path, bool hasVideo)
{
    FlvMetadata m;
    std::string error;
    if (!ReadFlvMetadata(path, &m, &error))
        return error;
    if (!(m.Number("duration") > 0))
        return "the metadata gives no duration";
    const int64_t fileSize = FileSize(path);
    if (m.Number("filesize") != static_cast<double>(fileSize))
        return "the metadata gives a file size of " + Figure(m.Number("filesize")) + " bytes, the file has " +
               std::to_string(fileSize);
    if (!hasVideo)
        return "";
    if (!(m.Number("width") > 0) || !(m.Number("height") > 0))
        return "the metadata gives no picture size";
    if (!(m.Number("framerate") > 0))
        return "the metadata gives no frame rate";
    const std::vector<double>& times = m.vKeyframeTimes;
    if (times.empty())
        return "the metadata has no keyframe index";
    if (times.size() != m.vKeyframePositions.size())
        return "the keyframe index has " + std::to_string(times.size()) + " times but " +
               std::to_string(m.vKeyframePositions.size()) + " positions";
    std::ifstream in = OpenRead(path, true);
    for (size_t i = 0; i < times.size(); ++i) {
        if (i > 0 && times[i] < times[i - 1])
            return "the keyframe index goes back in time at " + Figure(times[i] * 1000) + " ms";
        std::string fault = CheckKeyframeTag(in, fileSize, m.vKeyframePositions[i], times[i]);
        if (!fault.empty())
            return fault;
    }
    return "";
}

} // namespace vx
