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
