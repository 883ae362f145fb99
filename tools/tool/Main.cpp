// orvandel-tool: a command-line companion for the game's files.
#include <string>
#include <vector>

#include "base/platform/Files.h"
#include "tool/Command.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = orv::platform::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    return orvtool::RunTool(static_cast<int>(pointers.size()), pointers.data());
}
