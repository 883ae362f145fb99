#include "base/Log.h"

#include <cstdio>

namespace orv {
namespace {

TLogSink& Sink()
{
    static TLogSink sink;
    return sink;
}

}  // namespace

void Log(std::string_view text)
{
    if (Sink()) {
        Sink()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

TLogSink SetLogSink(TLogSink sink)
{
    TLogSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

}  // namespace orv
