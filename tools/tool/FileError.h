// FileError: the failure about one file that every command of orvandel-tool raises, also
// from the code it shares with the fuzz targets (which have no command line).
//
//   throw FileError(path, "", "PCX header cut short");   // "PATH: PCX header cut short"
#pragma once

#include <stdexcept>
#include <string>

namespace orvtool {

// A failure about one file, and one member of it when `member` is not empty:
// "FILE: MEMBER: text". The file is left out when the text already names it.
inline std::runtime_error FileError(const std::string& file, const std::string& member, const std::string& text)
{
    std::string message;
    if (text.find(file) == std::string::npos)
        message = file + ": ";
    if (!member.empty() && text.find(member) == std::string::npos)
        message += member + ": ";
    return std::runtime_error(message + text);
}

}  // namespace orvtool
