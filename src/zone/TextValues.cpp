#include "zone/TextValues.h"

#include "base/Exception.h"
#include "base/Format.h"

namespace orv {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// Separators of a list: every control character and the space.
bool IsListBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

constexpr char Quote = '"';
constexpr char Delimiter = ',';
constexpr int HexDigitsMax = 8;   // 32 bits

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;

    if (hex) {
        uint32_t value = 0;
        int significant = 0;
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            if (value != 0 || d != 0)
                ++significant;
            if (significant > HexDigitsMax)
                return std::nullopt;
            value = value << 4 | static_cast<uint32_t>(d);
        }
        if (negative)
            value = 0u - value;
        return static_cast<int32_t>(value);
    }

    // Decimal: the magnitude may reach 2^31 only with a minus sign.
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return negative ? static_cast<int32_t>(0 - static_cast<int64_t>(value)) : static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text)
{
    if (const auto value = TryStrToInt(text))
        return *value;
    throw EConvertError(Format("'%s' is not a valid integer value", {text}));
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) { return TryStrToInt(text).value_or(fallback); }

std::vector<std::string> SplitCommaText(std::string_view text)
{
    std::vector<std::string> items;
    // The list ends at a NUL character, as a C string would.
    text = text.substr(0, text.find('\0'));
    size_t p = 0;
    const size_t end = text.size();
    auto skipBlanks = [&] {
        while (p < end && IsListBlank(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < end) {
        std::string item;
        if (text[p] == Quote) {
            // A quoted item runs to the next single quote; doubled quotes stand for one.
            ++p;
            while (p < end) {
                if (text[p] == Quote) {
                    if (p + 1 < end && text[p + 1] == Quote) {
                        item += Quote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < end && !IsListBlank(text[p]) && text[p] != Delimiter)
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (p < end && text[p] == Delimiter) {
            if (p + 1 == end)
                items.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return items;
}

const std::string& ListItem(const std::vector<std::string>& items, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    return items[static_cast<size_t>(index)];
}

int32_t CommaField(std::string_view text, int index) { return StrToInt(ListItem(SplitCommaText(text), index)); }

}  // namespace orv
