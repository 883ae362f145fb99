// orvandel-tool: a command-line companion for the game's files.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>

#include "Command.h"

namespace orvtool {

std::vector<TCommand>& Commands()
{
    static std::vector<TCommand> commands;
    return commands;
}

TCommandRegistration::TCommandRegistration(std::string name, std::string usage, std::string summary,
                                           std::function<int(const TArgs&)> run, std::string help)
{
    Commands().push_back({std::move(name), std::move(usage), std::move(summary), std::move(run), std::move(help)});
}

bool IsHelp(const TArgs& args)
{
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

TParsedArgs ParseArgs(const TArgs& args, std::initializer_list<std::string_view> valued,
                      std::initializer_list<std::string_view> flags)
{
    auto among = [](std::initializer_list<std::string_view> names, const std::string& a) {
        return std::find(names.begin(), names.end(), a) != names.end();
    };
    TParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            parsed.Positional.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (among(valued, a)) {
            if (i + 1 >= args.size())
                throw TUsageError{a + " needs a value"};
            parsed.Values[a] = args[++i];
        } else if (among(flags, a)) {
            parsed.Flags.insert(a);
        } else {
            throw TUsageError{"unknown option " + a};
        }
    }
    return parsed;
}

std::runtime_error FileError(const std::string& file, const std::string& member, const std::string& text)
{
    std::string message;
    if (text.find(file) == std::string::npos)
        message = file + ": ";
    if (!member.empty() && text.find(member) == std::string::npos)
        message += member + ": ";
    return std::runtime_error(message + text);
}

}  // namespace orvtool

namespace {

using namespace orvtool;

void PrintOverview(std::FILE* out)
{
    std::vector<TCommand> sorted = Commands();
    std::sort(sorted.begin(), sorted.end(), [](const TCommand& a, const TCommand& b) { return a.Name < b.Name; });
    std::fprintf(out, "Usage: orvandel-tool COMMAND [ARGS...]\n\n"
                      "Looks inside the game's archives and images, and its zones.\n\nCommands:\n");
    for (const TCommand& c : sorted)
        std::fprintf(out, "  %-10s %s\n", c.Name.c_str(), c.Summary.c_str());
    std::fprintf(out, "\n'orvandel-tool COMMAND --help' tells more about one command.\n");
}

void PrintCommandHelp(const TCommand& c)
{
    std::printf("Usage: orvandel-tool %s %s\n\n%s\n", c.Name.c_str(), c.Usage.c_str(), c.Summary.c_str());
    if (!c.Help.empty())
        std::printf("\n%s\n", c.Help.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintOverview(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return 0;
    }
    const auto& commands = Commands();
    const auto it = std::find_if(commands.begin(), commands.end(), [&](const TCommand& c) { return c.Name == name; });
    if (it == commands.end()) {
        std::fprintf(stderr, "orvandel-tool: unknown command '%s'\n\n", name.c_str());
        PrintOverview(stderr);
        return 2;
    }
    const TArgs args(argv + 2, argv + argc);
    if (IsHelp(args)) {
        PrintCommandHelp(*it);
        return 0;
    }
    try {
        return it->Run(args);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "orvandel-tool %s: %s\nUsage: orvandel-tool %s %s\n", name.c_str(), e.Message.c_str(),
                     name.c_str(), it->Usage.c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvandel-tool %s: %s\n", name.c_str(), e.what());
        return 1;
    }
}
