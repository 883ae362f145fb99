// CommandLine: the viewer's command line, read before anything needs a display.
//
//   orvandel [options] [GAMEDIR]
//
//   TViewerOptions o = ParseViewerOptions({"--zone", "5", "/games/isles"});
//   // o.GameDir == "/games/isles", o.Zone == 5
//   ParseViewerOptions({"--bogus"});   // raises EUsageError "unknown option --bogus"
//
// Values are checked here as the window would check them (a zone number, a location as
// "Go to loc..." takes it, a renderer name), so that a wrong one is refused before the
// window opens. ViewerUsage() is the text of --help.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/Exception.h"

namespace orv {

// A command line the viewer cannot take; the message says what is wrong.
class EUsageError : public Exception { using Exception::Exception; };

struct TViewerOptions {
    bool Help = false;
    bool Version = false;
    std::optional<std::string> GameDir;    // GAMEDIR as given
    std::optional<int> Zone;               // --zone N: the zone to start on instead of 111
    std::optional<std::string> Location;   // --loc: a reply as "Go to loc..." takes it
    std::optional<uint8_t> RenderVersion;  // --renderer, as a radio button's tag
};

// The arguments after the program's name. "--name value" and "--name=value" are both
// taken; "--" ends the options, so a GAMEDIR may start with "-".
TViewerOptions ParseViewerOptions(std::span<const std::string> arguments);

// What a viewer's main does first. Returns the exit status when the command line has been
// answered: 0 for --help (the usage on standard output) and --version ("orvandel
// <version>"), 2 for a wrong one (the message and the usage on standard error); nothing
// when options holds what the window is to do.
std::optional<int> AnswerViewerCommandLine(std::span<const std::string> arguments, const char* version,
                                           TViewerOptions& options);

// The renderer of a name as --renderer takes it (a name of RendererTable).
std::optional<uint8_t> RenderVersionFromName(std::string_view name);

// The text of --help (defaultGameDir: where the game is looked for without GAMEDIR and
// without a remembered folder).
std::string ViewerUsage(const std::string& defaultGameDir);

// The one line said when there is no display to open the window on ("" when DISPLAY is
// not set).
std::string NoDisplayMessage(const std::string& display);

}  // namespace orv
