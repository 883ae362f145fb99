#include "shell/CommandLine.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "base/TextCase.h"
#include "shell/Viewer.h"
#include "terrain/RendererTable.h"
#include "zone/TextValues.h"

namespace orv {
namespace {

// The usage's option lines: the description starts in this column and is wrapped to lines
// of at most UsageWidth characters.
constexpr size_t UsageDescriptionColumn = 21;
constexpr size_t UsageWidth = 78;

// The items of a location that are read; further ones are ignored.
constexpr size_t LocationItems = 5;

int ZoneNumber(const std::string& text)
{
    const std::optional<int32_t> zone = TryStrToInt(text);
    if (!zone || *zone < 0)
        throw EUsageError("--zone: a zone number (0 or more), not \"" + text + "\"");
    return *zone;
}

// The checks "Go to loc..." makes, without a camera to apply them to.
std::string CheckedLocation(const std::string& text)
{
    if (SameTextIgnoringCase(text, "above"))
        return text;
    try {
        const std::vector<std::string> items = SplitCommaText(text);
        ListItem(items, 1);
        for (size_t i = 0; i < items.size() && i < LocationItems; ++i)
            StrToInt(items[i]);
    } catch (const Exception& e) {
        throw EUsageError(std::string("--loc: X,Y,Z,h,p or \"above\" (").append(e.what()).append(")"));
    }
    return text;
}

// "  OPTION   description", the description wrapped at blanks.
std::string UsageOption(std::string_view option, std::string_view description)
{
    std::string text = std::string("  ").append(option);
    text.resize(UsageDescriptionColumn, ' ');
    size_t lineStart = 0;
    bool lineEmpty = true;
    while (!description.empty()) {
        const size_t blank = description.find(' ');
        const std::string_view word = description.substr(0, blank);
        description = blank == std::string_view::npos ? std::string_view() : description.substr(blank + 1);
        if (!lineEmpty && text.size() - lineStart + 1 + word.size() > UsageWidth) {
            text += '\n';
            lineStart = text.size();
            text.append(UsageDescriptionColumn, ' ');
            lineEmpty = true;
        }
        if (!lineEmpty)
            text += ' ';
        text += word;
        lineEmpty = false;
    }
    return text + '\n';
}

}  // namespace

std::optional<uint8_t> RenderVersionFromName(std::string_view name)
{
    const TRendererEntry* renderer = FindRendererByName(name);
    return renderer ? std::optional<uint8_t>(renderer->Tag) : std::nullopt;
}

TViewerOptions ParseViewerOptions(std::span<const std::string> arguments)
{
    TViewerOptions o;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        std::optional<std::string> attached;
        if (equals != std::string::npos)
            attached = argument.substr(equals + 1);
        auto value = [&]() -> std::string {
            if (attached)
                return *attached;
            if (i + 1 >= arguments.size())
                throw EUsageError(name + " needs a value");
            return arguments[++i];
        };
        auto noValue = [&] {
            if (attached)
                throw EUsageError(name + " takes no value");
        };
        if (name == "--help" || name == "-h") {
            noValue();
            o.Help = true;
        } else if (name == "--version") {
            noValue();
            o.Version = true;
        } else if (name == "--zone") {
            o.Zone = ZoneNumber(value());
        } else if (name == "--loc") {
            o.Location = CheckedLocation(value());
        } else if (name == "--renderer") {
            const std::string renderer = value();
            o.RenderVersion = RenderVersionFromName(renderer);
            if (!o.RenderVersion)
                throw EUsageError("--renderer: " + RendererNames(", ", " or ") + ", not \"" + renderer + "\"");
        } else {
            throw EUsageError("unknown option " + name);
        }
    }
    if (positional.size() > 1)
        throw EUsageError("one game folder at most, not \"" + positional[0] + "\" and \"" + positional[1] + "\"");
    if (!positional.empty())
        o.GameDir = positional[0];
    return o;
}

std::string ViewerUsage(const std::string& defaultGameDir)
{
    return std::string(
               "Usage: orvandel [options] [GAMEDIR]\n"
               "Flies over the zones of the game installed in GAMEDIR, the folder that holds\n"
               "zones/ and data/, starting on zone 111. Without GAMEDIR it opens the folder\n"
               "chosen last with \"Open game folder...\" (Ctrl+O), and when none was chosen yet\n")
        .append(defaultGameDir)
        .append(
            "\n"
            "\n"
            "Options:\n"
            "  --zone N           start on zone N instead of 111\n"
            "  --loc X,Y,Z,h,p    start at this location, as \"Go to loc...\" (Ctrl+G) takes\n"
            "                     it: commas or blanks between the values, two values are\n"
            "                     enough; \"above\" looks down on the zone from high above\n")
        .append(UsageOption("--renderer NAME", "start with this terrain renderer: " + RendererNames(", ", " or ") +
                                                   " (\"" + std::string(DefaultRenderer().Label) + "\", the default)"))
        .append(
            "  -h, --help         show this text and exit\n"
            "  --version          show the version and exit\n"
            "  --                 end of the options (for a GAMEDIR that starts with -)\n"
            "\n"
            "checker.bmp is read from the working directory, else from GAMEDIR; each zone's\n"
            "sector.dat is written to the working directory. The progress log and the map\n"
            "dumps go to standard output. In the window, F1 lists the keys and the mouse.\n"
            "Without a display, \"orvandel-tool render GAMEDIR ZONE -o view.png\" draws a\n"
            "zone as the window would.\n"
            "\n"
            "Exit status: 0 when the window is closed, 1 when there is no display to open\n"
            "it on, 2 for a command line it cannot take.\n");
}

std::string NoDisplayMessage(const std::string& display)
{
    const std::string what = display.empty() ? std::string("no display to open the window on (DISPLAY is not set)")
                                              : std::string("cannot open the display \"").append(display).append("\"");
    return std::string("orvandel: ").append(what).append(
        "; to draw a zone without one: orvandel-tool render GAMEDIR ZONE -o view.png");
}

std::optional<int> AnswerViewerCommandLine(std::span<const std::string> arguments, const char* version,
                                           TViewerOptions& options)
{
    constexpr int ExitUsage = 2;
    try {
        options = ParseViewerOptions(arguments);
    } catch (const EUsageError& e) {
        std::fprintf(stderr, "orvandel: %s\n\n%s", e.what(), ViewerUsage(DefaultGameDir()).c_str());
        return ExitUsage;
    }
    if (options.Help) {
        std::printf("%s", ViewerUsage(DefaultGameDir()).c_str());
        return 0;
    }
    if (options.Version) {
        std::printf("orvandel %s\n", version);
        return 0;
    }
    return std::nullopt;
}

}  // namespace orv
