// The commands of orvandel-tool, parsed by CLI11. Each command group lives in its own file
// and registers its commands with a static TCommandRegistration: the name, a one-line
// summary, and a setup function that declares the command's arguments and options on its
// CLI11 subcommand and returns what runs the command once they are parsed:
//
//   const TCommandRegistration ListRegistration{"list", "List the members of an MPAK archive",
//       [](CLI::App& command) -> TRun {
//           auto archive = std::make_shared<std::string>();
//           command.add_option("ARCHIVE", *archive, "the archive")->required();
//           command.footer("Example:\n  orvandel-tool list game/zones/zone111/dat111.mpk");
//           return [archive] { return List(*archive); };
//       }};
//
// The help text built from these declarations is also the source of the manual page and
// of the bash completion (tools/tooldoc): a type name in capitals tells what a value is
// (DIR for a directory; FILE, ARCHIVE, IMAGE, GAMEDIR or a name ending in .png for a
// path), and CLI::IsMember lists the words an option takes.
//
// A run returns the exit code. It throws TUsageError for arguments that CLI11 cannot
// check (exit code 2, like CLI11's own usage errors) and any std::exception for a
// failure, which is printed as "orvandel-tool COMMAND: message" (exit code 1).
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tool/FileError.h"

namespace orvtool {

using TRun = std::function<int()>;

struct TCommand {
    std::string Name;
    std::string Summary;
    std::function<TRun(CLI::App&)> Setup;
};

struct TCommandRegistration {
    TCommandRegistration(std::string name, std::string summary, std::function<TRun(CLI::App&)> setup);
};

// Every registered command, sorted by name.
std::vector<TCommand> Commands();

// A usage error found by a command itself: exit code 2.
struct TUsageError {
    std::string Message;
};

// The whole command line: the program's options and one subcommand per command, each
// with its run.
struct TToolApp {
    std::unique_ptr<CLI::App> App;
    std::map<const CLI::App*, TRun> Runs;
};
TToolApp MakeToolApp();

// Parses the arguments, runs the chosen command, prints errors: the program's main.
int RunTool(int argc, const char* const* argv);

// An integer argument or option in the viewer's syntax (decimal, or hexadecimal after
// "$" or "0x"; 32 bits), within least..most; anything else is a usage error.
CLI::Option* AddInteger(CLI::App& command, const std::string& name, int32_t& value, const std::string& description,
                        int32_t least = std::numeric_limits<int32_t>::min(),
                        int32_t most = std::numeric_limits<int32_t>::max());
// The same for an option whose absence matters.
CLI::Option* AddInteger(CLI::App& command, const std::string& name, std::optional<int32_t>& value,
                        const std::string& description, int32_t least = std::numeric_limits<int32_t>::min(),
                        int32_t most = std::numeric_limits<int32_t>::max());

// A check of an option's value: a value that `accepts` refuses is a usage error,
// "'VALUE' " followed by `what` ("is not a positive number").
CLI::Validator ValueCheck(std::function<bool(const std::string&)> accepts, std::string what);

// The check of an output file's name: its extension (letter case ignored) is one of
// `extensions` (".png"), else a usage error "'x.jpg' is not a .png file" ("is neither a
// .glb nor a .gltf file" for two), so that no file is written under a name that says
// another format.
CLI::Validator OutputExtension(std::vector<std::string> extensions);

// The ZONE argument of the zone commands: a zone id, any 32-bit integer, as the viewer's
// "Zone" box takes it (negative ones too; give "--" first or not, as you like).
CLI::Option* AddZone(CLI::App& command, int32_t& zone);

// Text from a file or the command line (names as stored may hold any byte) with control
// bytes shown as \xNN, for everything the commands print: an escape sequence in an
// archive's name must not drive the terminal.
std::string Printable(const std::string& text);

// The loading log goes to standard error, so that standard output holds only what the
// command prints.
void LogToStandardError();

}  // namespace orvtool
