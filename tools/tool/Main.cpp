// orvandel-tool: a command-line companion for the game's files.
#include "tool/Command.h"

int main(int argc, char** argv)
{
    return orvtool::RunTool(argc, argv);
}
