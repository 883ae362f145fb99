// orvandel-tool-doc MANPAGE COMPLETION: writes orvandel-tool's manual page and bash
// completion from its commands' declarations. Run by the build.
#include <cstdio>
#include <fstream>
#include <string>

#include "ToolDoc.h"
#include "tool/Command.h"

namespace {

bool WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "orvandel-tool-doc: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: orvandel-tool-doc MANPAGE COMPLETION\n");
        return 2;
    }
    const orvtool::TToolApp tool = orvtool::MakeToolApp();
    const bool written = WriteText(argv[1], orvtool::ManPage(*tool.App, ORVANDEL_VERSION)) &&
                         WriteText(argv[2], orvtool::BashCompletion(*tool.App));
    return written ? 0 : 1;
}
