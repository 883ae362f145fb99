// The command line of orvandel-tool: the registered commands as CLI11 subcommands, the
// help layout, the integer arguments, and how errors become messages and exit codes.
#include "tool/Command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

#include "base/Log.h"
#include "base/TextCase.h"
#include "zone/TextValues.h"

namespace orvtool {

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr const char* ProgramName = "orvandel-tool";
constexpr const char* CommandGroup = "Commands";

std::vector<TCommand>& Registry()
{
    static std::vector<TCommand> commands;
    return commands;
}

// CLI11's layout with the value of an option shown by its type name alone ("-d DIR"), and
// positional arguments by their name alone.
class TFormatter : public CLI::Formatter {
public:
    TFormatter()
    {
        column_width(ColumnWidth);
        label("SUBCOMMAND", "COMMAND");
        label("Positionals", "Arguments");
    }
    std::string make_option_opts(const CLI::Option* option) const override
    {
        if (option->get_positional() || option->get_expected_max() == 0)   // a flag takes no value
            return {};
        return std::string(" ").append(option->get_type_name());
    }

private:
    static constexpr size_t ColumnWidth = 26;
};

int UsageFailure(const CLI::App& app, const std::string& message)
{
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    const CLI::App& command = chosen.empty() ? app : *chosen.front();
    const std::string name =
        chosen.empty() ? ProgramName : std::string(ProgramName).append(" ").append(command.get_name());
    const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(command.get_formatter());
    std::cerr << name << ": " << message << "\n"
              << (formatter ? formatter->make_usage(&command, name) : std::string()) << "Run '" << name
              << " --help' for more information.\n";
    return ExitUsage;
}

// CLI11's words for a parse error, except for what was left over: an unknown command or
// option, or one argument too many, named as such. After "--" every word is an argument.
std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error)
{
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    std::vector<std::string> left = chosen.empty() ? app.remaining() : chosen.front()->remaining();
    const bool afterEnd = !left.empty() && left.front() == "--";
    if (afterEnd)
        left.erase(left.begin());
    if (left.empty())
        return error.what();
    const std::string& first = left.front();
    if (!afterEnd && first.starts_with("-") && first != "-")
        return std::string("unknown option ").append(first);
    if (chosen.empty())
        return std::string("unknown command '").append(first).append("'");
    return std::string("one argument too many: '").append(first).append("'");
}

// What a command printed must have arrived whole: a full disk or a closed pipe behind
// standard output is a failure like any other.
void CheckStandardOutput()
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return;
    std::string message = "cannot write to standard output";
    if (!flushed && errno != 0)
        message.append(": ").append(std::strerror(errno));
    throw std::runtime_error(message);
}

std::string Overview(const CLI::App& app)
{
    return app.get_formatter()->make_help(&app, ProgramName, CLI::AppFormatMode::Normal);
}

}  // namespace

TCommandRegistration::TCommandRegistration(std::string name, std::string summary, std::function<TRun(CLI::App&)> setup)
{
    Registry().push_back({std::move(name), std::move(summary), std::move(setup)});
}

std::vector<TCommand> Commands()
{
    std::vector<TCommand> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(), [](const TCommand& a, const TCommand& b) { return a.Name < b.Name; });
    return sorted;
}

TToolApp MakeToolApp()
{
    TToolApp tool;
    tool.App = std::make_unique<CLI::App>("Looks inside the game's archives and images, and its zones.", ProgramName);
    CLI::App& app = *tool.App;
    app.formatter(std::make_shared<TFormatter>());
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", std::string(ProgramName).append(" ").append(ORVANDEL_VERSION),
                         "show the version and exit");
    app.require_subcommand(1);
    // A path may start with '/' on Windows too: never an option there.
    app.allow_windows_style_options(false);
    // An option given twice: the last one counts.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.footer("'orvandel-tool COMMAND --help' or 'orvandel-tool help COMMAND' tells more about one command.");

    std::vector<std::string> names;
    for (const TCommand& c : Commands()) {
        CLI::App* command = app.add_subcommand(c.Name, c.Summary)->group(CommandGroup);
        tool.Runs[command] = c.Setup(*command);
        names.push_back(c.Name);
    }

    CLI::App* help = app.add_subcommand("help", "Show the help of the program or of one command")->group(CommandGroup);
    names.push_back(help->get_name());
    auto topic = std::make_shared<std::string>();
    std::string choices;
    for (const std::string& name : names)
        choices.append(choices.empty() ? "" : "|").append(name);
    help->add_option("COMMAND", *topic, "the command to explain")
        ->type_name(choices)
        ->check(CLI::IsMember(names).description(""));
    help->footer("Example:\n  orvandel-tool help extract");
    const CLI::App* root = &app;
    tool.Runs[help] = [root, topic] {
        if (topic->empty())
            std::cout << Overview(*root);
        else
            std::cout << root->get_subcommand(*topic)->help(ProgramName);
        return 0;
    };
    return tool;
}

int RunTool(int argc, const char* const* argv)
{
    TToolApp tool = MakeToolApp();
    CLI::App& app = *tool.App;
    if (argc < 2) {
        std::cerr << Overview(app);
        return ExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        return UsageFailure(app, ParseErrorMessage(app, e));
    }
    const CLI::App* command = app.get_subcommands().front();
    try {
        const int code = tool.Runs.at(command)();
        CheckStandardOutput();
        return code;
    } catch (const TUsageError& e) {
        return UsageFailure(app, e.Message);
    } catch (const std::exception& e) {
        // The commands name the file they were reading when memory ran out; elsewhere
        // it is told as such all the same.
        const char* message = dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory" : e.what();
        std::fflush(stdout);
        std::cerr << ProgramName << " " << command->get_name() << ": " << Printable(message) << "\n";
        return ExitFailure;
    }
}

namespace {

CLI::Option* AddIntegerSetting(CLI::App& command, const std::string& name, std::function<void(int32_t)> set,
                               const std::string& description, int32_t least, int32_t most)
{
    CLI::Option* option = command.add_option_function<std::string>(
        name, [set = std::move(set)](const std::string& text) { set(*orv::TryStrToInt(text)); }, description);
    option->type_name("INT");
    option->check(CLI::Validator(
        [least, most](std::string& text) -> std::string {
            const std::optional<int32_t> parsed = orv::TryStrToInt(text);
            if (!parsed)
                return std::string("'").append(text).append("' is not a 32-bit integer");
            if (*parsed < least || *parsed > most)
                return text + " is not within " + std::to_string(least) + " to " + std::to_string(most);
            return {};
        },
        ""));
    return option;
}

}  // namespace

CLI::Option* AddInteger(CLI::App& command, const std::string& name, int32_t& value, const std::string& description,
                        int32_t least, int32_t most)
{
    return AddIntegerSetting(command, name, [&value](int32_t v) { value = v; }, description, least, most);
}

CLI::Option* AddInteger(CLI::App& command, const std::string& name, std::optional<int32_t>& value,
                        const std::string& description, int32_t least, int32_t most)
{
    return AddIntegerSetting(command, name, [&value](int32_t v) { value = v; }, description, least, most);
}

CLI::Validator ValueCheck(std::function<bool(const std::string&)> accepts, std::string what)
{
    return CLI::Validator(
        [accepts = std::move(accepts), what = std::move(what)](std::string& value) -> std::string {
            return accepts(value) ? std::string() : std::string("'").append(value).append("' ").append(what);
        },
        "");
}

CLI::Validator OutputExtension(std::vector<std::string> extensions)
{
    std::string what = "is not a " + extensions.front() + " file";
    if (extensions.size() == 2)
        what = "is neither a " + extensions[0] + " nor a " + extensions[1] + " file";
    return ValueCheck(
        [extensions = std::move(extensions)](const std::string& path) {
            return std::find(extensions.begin(), extensions.end(), orv::FoldedExtension(path)) != extensions.end();
        },
        what);
}

CLI::Option* AddZone(CLI::App& command, int32_t& zone)
{
    return AddInteger(command, "ZONE", zone, "the zone id, as the viewer's \"Zone\" box takes it")->required();
}

std::string Printable(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            shown += escape;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

void LogToStandardError()
{
    orv::SetLogSink([](std::string_view line) {
        const std::string shown = Printable(std::string(line));
        std::fwrite(shown.data(), 1, shown.size(), stderr);
        std::fputc('\n', stderr);
    });
}

}  // namespace orvtool
