// Format: printf-like text formatting with explicit argument indexes, as the zone file
// names need them.
//
//   Format("%szones/zone%3.3d/dat%1:3.3d.mpk", {gameDir, 111})
//       -> gameDir + "zones/zone111/dat111.mpk"
//
// A directive is  % [index ":"] ["-"] [width] ["." precision] type  with the types
//   d  signed decimal; the precision is the least number of digits (zeros added after
//      the sign), the width the least number of characters (blanks added on the left,
//      or on the right with "-");
//   u  unsigned decimal (the argument's 32-bit two's complement for a negative value);
//   x  hexadecimal in upper case, same rules as u (x and X are the same);
//   s  text; the precision is the most characters taken.
// "%%" is a percent sign. Without an index a directive takes the argument after the one
// the previous directive took (the first takes argument 0), so "%1:d %d" takes
// arguments 1 and 2. A directive that does not fit its argument, or an argument that is
// missing, raises EConvertError "Format '%s' invalid or incompatible with argument".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace orv {

class TFormatArg {
public:
    TFormatArg(int value) : m_Value(static_cast<int64_t>(value)) {}
    TFormatArg(int64_t value) : m_Value(value) {}
    TFormatArg(uint32_t value) : m_Value(static_cast<int64_t>(value)) {}
    TFormatArg(std::string_view text) : m_Value(text) {}
    TFormatArg(const std::string& text) : m_Value(std::string_view(text)) {}
    TFormatArg(const char* text) : m_Value(std::string_view(text)) {}

    const int64_t* Integer() const { return std::get_if<int64_t>(&m_Value); }
    const std::string_view* Text() const { return std::get_if<std::string_view>(&m_Value); }

private:
    std::variant<int64_t, std::string_view> m_Value;
};

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args);

}  // namespace orv
