// The commands of orvandel-tool. Each command group lives in its own file and registers
// its commands with a static TCommandRegistration:
//
//   static int List(const TArgs& args);
//   static TCommandRegistration reg{"list", "ARCHIVE", "List the members of an MPAK archive", List,
//                                   "Long help text..."};
//
// A command returns the process exit code; it throws orv::Exception (or any
// std::exception) for failures, which main prints on standard error as
// "orvandel-tool: COMMAND: message" and turns into exit code 1.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvtool {

using TArgs = std::vector<std::string>;   // the arguments after the command name

struct TCommand {
    std::string Name;
    std::string Usage;     // the arguments, e.g. "ARCHIVE [MEMBER...] [-d DIR]"
    std::string Summary;   // one line for the command list
    std::function<int(const TArgs&)> Run;
    std::string Help;      // the rest of "--help" for the command
};

std::vector<TCommand>& Commands();

struct TCommandRegistration {
    TCommandRegistration(std::string name, std::string usage, std::string summary,
                         std::function<int(const TArgs&)> run, std::string help = {});
};

// A usage error: main prints the message and the command's usage, exit code 2.
struct TUsageError {
    std::string Message;
};

// Helpers for option parsing.
bool IsHelp(const TArgs& args);

// The arguments split into positional ones and options. Each option in `valued` takes the
// next argument as its value ("-d DIR"; given twice, the last wins); each in `flags`
// stands alone. "--" ends the options; any other argument starting with "-" raises
// TUsageError.
struct TParsedArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Values;
    std::set<std::string> Flags;
};
TParsedArgs ParseArgs(const TArgs& args, std::initializer_list<std::string_view> valued,
                      std::initializer_list<std::string_view> flags = {});

// A failure about one file, and one member of it when `member` is not empty:
// "FILE: MEMBER: text". The file is left out when the text already names it.
std::runtime_error FileError(const std::string& file, const std::string& member, const std::string& text);

}  // namespace orvtool
