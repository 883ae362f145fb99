// Log: the viewer's console log, one plain line per call, no prefix.
//
// Lines go to standard output unless a sink is installed (tests capture them; the tool
// sends them to standard error so that its own output stays clean).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orv {

void Log(std::string_view text);
using TLogSink = std::function<void(std::string_view)>;
// Installs a sink and returns the previous one; an empty sink restores standard output.
TLogSink SetLogSink(TLogSink sink);

}  // namespace orv
