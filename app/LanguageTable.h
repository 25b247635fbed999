#pragma once
// Texts shown to the user, by number, from Language/SimpleChinese beside the program.

#include <map>
#include <string>

namespace vx {

class CLanguageTable
{
public:
    // Clears the table and reads path ("number = text" lines). A missing file leaves it empty.
    void Load(const std::string& path);
    // The text for a number ("@n" already turned into line breaks), or empty.
    std::string GetText(int number) const;
    // The raw stored text, as in the file.
    std::string GetRawText(int number) const;
    size_t Count() const { return m_texts.size(); }
    int LanguageCode() const { return m_nLanguage; }

private:
    int m_nLanguage = 1;
    std::map<int, std::string> m_texts;
};

} // namespace vx
