// The D2 and H map dumps: exact text, and what happens when the output fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "scene/MapDumps.h"

namespace orv {
namespace {

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

template <typename TDump>
std::string Capture(const TTerrain& terrain, TDump dump)
{
    const std::unique_ptr<std::FILE, TFileCloser> file(std::tmpfile());
    dump(terrain, file.get());
    std::rewind(file.get());
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, n);
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t eol; (eol = text.find('\n', start)) != std::string::npos; start = eol + 1)
        lines.push_back(text.substr(start, eol - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

TEST(MapDumps, HeightMapHas257LinesOf257FourDigitValues)
{
    auto t = std::make_unique<TTerrain>();
    (*t)[0][0].Height = 0;
    (*t)[1][0].Height = 65535;
    (*t)[256][0].Height = 0xAB;
    (*t)[5][3].Height = 14280;   // line 3, entry 5
    const auto lines = Lines(Capture(*t, [](const TTerrain& x, std::FILE* f) { DumpHMap(x, f); }));
    ASSERT_EQ(lines.size(), 257u);
    for (const std::string& line : lines)
        ASSERT_EQ(line.size(), 1285u);
    EXPECT_EQ(lines[0].substr(0, 10), "0000 FFFF ");
    EXPECT_EQ(lines[0].substr(1280), "00AB ");
    EXPECT_EQ(lines[3].substr(25, 5), "37C8 ");
    EXPECT_EQ(lines[256], [] {
        std::string zeros;
        for (int i = 0; i < 257; ++i)
            zeros += "0000 ";
        return zeros;
    }());
}

TEST(MapDumps, D2MapWidensForLargeAndNegativeValues)
{
    auto t = std::make_unique<TTerrain>();
    (*t)[0][7].D2 = 70000;
    (*t)[1][7].D2 = -1;
    (*t)[2][7].D2 = 0xBEEF;
    (*t)[3][7].D2 = 1;
    const auto lines = Lines(Capture(*t, [](const TTerrain& x, std::FILE* f) { DumpD2Map(x, f); }));
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines[7].substr(0, 30), "11170 FFFFFFFF BEEF 0001 0000 ");
    EXPECT_EQ(lines[7].size(), 1285u + 1 + 4);
    EXPECT_EQ(lines[6].size(), 1285u);
}

TEST(MapDumps, AFailedWriteRaises)
{
    // /dev/full takes the data into its buffer and fails at the flush.
    const std::unique_ptr<std::FILE, TFileCloser> full(std::fopen("/dev/full", "w"));
    if (!full)
        GTEST_SKIP() << "/dev/full is not available here";
    auto t = std::make_unique<TTerrain>();
    EXPECT_THROW(DumpHMap(*t, full.get()), EWriteError);
    EXPECT_THROW(DumpD2Map(*t, full.get()), EWriteError);
}

// A stream that records each write reaching it, and fails from a given write on.
struct TRecorder {
    std::vector<std::string> Writes;
    size_t FailFrom = SIZE_MAX;

    static ssize_t Write(void* cookie, const char* data, size_t size)
    {
        auto* self = static_cast<TRecorder*>(cookie);
        if (self->Writes.size() >= self->FailFrom)
            return -1;
        self->Writes.emplace_back(data, size);
        return static_cast<ssize_t>(size);
    }

    std::unique_ptr<std::FILE, TFileCloser> Open()
    {
        cookie_io_functions_t io{};
        io.write = &TRecorder::Write;
        std::FILE* f = fopencookie(this, "w", io);
        static char buffer[1 << 16];
        std::setvbuf(f, buffer, _IOFBF, sizeof buffer);   // flushing is the dump's doing
        return std::unique_ptr<std::FILE, TFileCloser>(f);
    }
};

TEST(MapDumps, EveryValueIsFlushedOnItsOwn)
{
    auto t = std::make_unique<TTerrain>();
    (*t)[9][0].D2 = -2;
    TRecorder recorder;
    {
        auto file = recorder.Open();
        DumpD2Map(*t, file.get());
    }
    ASSERT_EQ(recorder.Writes.size(), 257u * 258u);   // 257 values and a line end, per line
    EXPECT_EQ(recorder.Writes[0], "0000 ");
    EXPECT_EQ(recorder.Writes[9], "FFFFFFFE ");
    EXPECT_EQ(recorder.Writes[257], "\n");
    EXPECT_EQ(recorder.Writes.back(), "\n");
}

TEST(MapDumps, TheDumpStopsAtTheFailedWrite)
{
    auto t = std::make_unique<TTerrain>();
    TRecorder recorder;
    recorder.FailFrom = 300;
    {
        auto file = recorder.Open();
        EXPECT_THROW(DumpHMap(*t, file.get()), EWriteError);
        // The values after the failure are not formatted into the buffer either.
        recorder.FailFrom = SIZE_MAX;
        std::clearerr(file.get());
    }
    EXPECT_EQ(recorder.Writes.size(), 300u);
}

}  // namespace
}  // namespace orv
