#include "zone/IniFile.h"

#include "base/TextCase.h"
#include "zone/TextValues.h"

namespace orv {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

}  // namespace

TIniFile::TIniFile(std::span<const uint8_t> bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with(Utf8Bom))
        text.remove_prefix(Utf8Bom.size());
    m_Sections.emplace_back();   // keys before the first section header
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view line = Trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            // The name runs to the last "]" of the line; a header without one is skipped.
            const size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                m_Sections.emplace_back();
                m_SectionIndex.emplace(FoldCase(line.substr(1, close - 1)), m_Sections.size() - 1);
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            m_Sections.back().emplace(FoldCase(line), std::string());
        } else {
            m_Sections.back().emplace(FoldCase(Trim(line.substr(0, equals))),
                                      std::string(Trim(line.substr(equals + 1)).substr(0, MaxValueLength)));
        }
    }
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view section) const
{
    const auto it = m_SectionIndex.find(FoldCase(Trim(section)));
    return it == m_SectionIndex.end() ? nullptr : &m_Sections[it->second];
}

std::optional<std::string_view> TIniFile::Find(std::string_view section, std::string_view key) const
{
    const TSection* s = FindSection(section);
    if (!s)
        return std::nullopt;
    const auto it = s->find(FoldCase(Trim(key)));
    if (it == s->end())
        return std::nullopt;
    return std::string_view(it->second);
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    return std::string(Find(section, key).value_or(fallback));
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const
{
    const auto value = Find(section, key);
    return value ? StrToIntDef(*value, fallback) : fallback;
}

}  // namespace orv
