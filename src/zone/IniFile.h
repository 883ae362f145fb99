// IniFile: a small reader of INI-style text ("[section]" lines, "key=value" lines).
//
//   TIniFile ini(bytes);                         // the whole file's text
//   int n = ini.ReadInteger("waterdefs", "num", 0);
//   std::string s = ini.ReadString("river00", "left00", "");
//
// Section and key names match without regard to letter case (ASCII and Latin-1); the
// first section of a name is the one searched, and in it the first key of a name.
// Values are trimmed of blanks on both sides and cut to 2047 characters. Lines without
// "=" are keys without a value; lines before the first section belong to no section.
// ReadInteger takes the integer syntax of TextValues.h and gives the default for a
// missing key or a value of another form.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

class TIniFile {
public:
    static constexpr size_t MaxValueLength = 2047;

    explicit TIniFile(std::span<const uint8_t> text);

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    bool SectionExists(std::string_view section) const;

private:
    // Names are kept folded to lower case; the first section and key of a name win.
    using TSection = std::unordered_map<std::string, std::string>;
    const TSection* FindSection(std::string_view section) const;
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    std::vector<TSection> m_Sections;
    std::unordered_map<std::string, size_t> m_SectionIndex;
};

}  // namespace orv
