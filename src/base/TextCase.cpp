#include "base/TextCase.h"

#include <algorithm>

#include "base/platform/Files.h"

namespace orv {

std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(FoldCase(static_cast<uint8_t>(c)));
    return folded;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return FoldCase(static_cast<uint8_t>(x)) == FoldCase(static_cast<uint8_t>(y));
    });
}

std::string FoldedExtension(std::string_view path)
{
    // The name's last dot, unless the name is "..", or the dot starts the name.
    const std::string name = platform::NameOf(std::string(path));
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name == "..")
        return {};
    return FoldCase(std::string_view(name).substr(dot));
}

}  // namespace orv
