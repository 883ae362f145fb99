#include "base/Format.h"

#include <limits>
#include <vector>

#include "base/Exception.h"

namespace orv {
namespace {

[[noreturn]] void Invalid(std::string_view format)
{
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of decimal digits at pos; -1 when there is none.
int ReadNumber(std::string_view format, size_t& pos)
{
    if (pos >= format.size() || !IsDigit(format[pos]))
        return -1;
    int64_t value = 0;
    while (pos < format.size() && IsDigit(format[pos])) {
        value = value * 10 + (format[pos] - '0');
        if (value > std::numeric_limits<int>::max())
            Invalid(format);
        ++pos;
    }
    return static_cast<int>(value);
}

std::string Digits(uint64_t value, unsigned base)
{
    constexpr std::string_view DigitChars = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), DigitChars[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

// The unsigned reading of a value: a negative 32-bit value as its two's complement.
uint64_t AsUnsigned(int64_t value)
{
    if (value < 0 && value >= std::numeric_limits<int32_t>::min())
        return static_cast<uint32_t>(static_cast<int32_t>(value));
    return static_cast<uint64_t>(value);
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args)
{
    const std::vector<TFormatArg> arguments(args);
    std::string out;
    size_t next = 0;   // the argument a directive without index takes
    size_t pos = 0;
    while (pos < format.size()) {
        const char c = format[pos++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (pos < format.size() && format[pos] == '%') {
            out += '%';
            ++pos;
            continue;
        }
        // [index ":"] ["-"] [width] ["." precision] type
        int number = ReadNumber(format, pos);
        if (number >= 0 && pos < format.size() && format[pos] == ':') {
            next = static_cast<size_t>(number);
            ++pos;
            number = -1;
        }
        bool leftAlign = false;
        if (number < 0 && pos < format.size() && format[pos] == '-') {
            leftAlign = true;
            ++pos;
        }
        const int width = number >= 0 ? number : ReadNumber(format, pos);
        int precision = -1;
        if (pos < format.size() && format[pos] == '.') {
            ++pos;
            precision = ReadNumber(format, pos);
            if (precision < 0)
                precision = 0;
        }
        if (pos >= format.size() || next >= arguments.size())
            Invalid(format);
        const char type = static_cast<char>(format[pos++] | 0x20);   // lower case
        const TFormatArg& arg = arguments[next++];

        std::string text;
        if (type == 's') {
            const std::string_view* s = arg.Text();
            if (!s)
                Invalid(format);
            text = precision >= 0 && static_cast<size_t>(precision) < s->size() ? std::string(s->substr(0, precision))
                                                                                 : std::string(*s);
        } else if (type == 'd' || type == 'u' || type == 'x') {
            const int64_t* v = arg.Integer();
            if (!v)
                Invalid(format);
            const bool negative = type == 'd' && *v < 0;
            const uint64_t magnitude =
                type == 'd' ? (negative ? 0 - static_cast<uint64_t>(*v) : static_cast<uint64_t>(*v)) : AsUnsigned(*v);
            text = Digits(magnitude, type == 'x' ? 16 : 10);
            if (precision > 0 && text.size() < static_cast<size_t>(precision))
                text.insert(0, static_cast<size_t>(precision) - text.size(), '0');
            if (negative)
                text.insert(text.begin(), '-');
        } else {
            Invalid(format);
        }
        if (width > 0 && text.size() < static_cast<size_t>(width)) {
            const std::string padding(static_cast<size_t>(width) - text.size(), ' ');
            text = leftAlign ? text + padding : padding + text;
        }
        out += text;
    }
    return out;
}

}  // namespace orv
