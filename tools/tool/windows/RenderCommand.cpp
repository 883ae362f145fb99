// render on Windows: drawing needs OpenGL, which comes to Windows with its viewer. Until
// then the command is there so that its help and its run say so.
#include <cstdio>

#include "tool/Command.h"

namespace orvtool {
namespace {

const TCommandRegistration RenderRegistration{
    "render", "Draw a zone headless into a PNG file (not on Windows yet)", [](CLI::App& command) -> TRun {
        command.allow_extras();
        command.footer("Drawing a zone needs OpenGL, which comes to Windows with the Windows viewer;\n"
                       "until then render runs on Linux only.");
        return [] {
            std::fprintf(stderr, "orvandel-tool render: not available on Windows yet\n");
            return 1;
        };
    }};

}  // namespace
}  // namespace orvtool
