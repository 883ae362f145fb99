#include "zone/WaterRegions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Log.h"
#include "formats/MPKFile.h"
#include "zone/IniFile.h"
#include "zone/TextValues.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

// Widens the rectangle to take in one bank point; the very first point sets it.
void AddBankPoint(TRect& bounds, std::string_view value, bool first)
{
    const int32_t x = CommaField(value, 0);
    const int32_t y = CommaField(value, 1);
    if (first) {
        bounds = TRect{x, y, x, y};
        return;
    }
    if (x < bounds.Left)
        bounds.Left = x;
    if (x > bounds.Right)
        bounds.Right = x;
    if (y < bounds.Top)
        bounds.Top = y;
    if (y > bounds.Bottom)
        bounds.Bottom = y;
}

struct TFd {
    int Handle = -1;
    ~TFd()
    {
        if (Handle >= 0)
            ::close(Handle);
    }
};

// Writes bytes to path by way of a temporary file in the same directory, so that path
// holds either its old content or the new one, never a part. Returns the reason of a
// failure, nothing on success.
std::optional<std::string> WriteFileAtomically(const std::string& directory, std::string_view name,
                                               std::span<const uint8_t> bytes)
{
    const std::string target = IncludeTrailingPathDelimiter(directory) + std::string(name);
    std::vector<char> temporary(target.begin(), target.end());
    for (const char c : std::string_view(".XXXXXX"))
        temporary.push_back(c);
    temporary.push_back('\0');

    auto failure = [&](const char* what) {
        return Format("Cannot write %s (%s: %s)", {target, what, std::strerror(errno)});
    };
    TFd fd;
    fd.Handle = ::mkstemp(temporary.data());
    if (fd.Handle < 0)
        return failure("creating a temporary file");
    // The file gets the permissions a newly created file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.Handle, 0666 & ~mask);

    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.Handle, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::string reason = failure("writing");
            ::unlink(temporary.data());
            return reason;
        }
        done += static_cast<size_t>(n);
    }
    const int closed = ::close(fd.Handle);
    fd.Handle = -1;
    if (closed != 0 || ::rename(temporary.data(), target.c_str()) != 0) {
        std::string reason = failure(closed != 0 ? "writing" : "renaming");
        ::unlink(temporary.data());
        return reason;
    }
    return std::nullopt;
}

}  // namespace

void ReadWaterRegions(const TIniFile& ini, TWaterRegionList& regions)
{
    const int32_t count = ini.ReadInteger("waterdefs", "num", 0);
    if (count > MaxWaterRegions)
        throw EFormatError(Format("%s: %d water regions, more than the %d a zone can have",
                                  {SectorMember, count, MaxWaterRegions}));
    for (int32_t r = 0; r < count; ++r) {
        const std::string section = Format("river%2.2d", {r});
        TRect bounds;
        const int32_t bankPoints = ini.ReadInteger(section, "bankpoints", 0);
        for (int32_t i = 0; i < bankPoints; ++i) {
            const std::string left = ini.ReadString(section, Format("left%2.2d", {i}), "");
            const std::string right = ini.ReadString(section, Format("right%2.2d", {i}), "");
            AddBankPoint(bounds, left, i == 0);
            AddBankPoint(bounds, right, false);
        }
        auto region = std::make_unique<TWaterRegion>();
        region->Bounds = bounds;
        region->Height = ini.ReadInteger(section, "height", 0);
        region->Color = static_cast<uint32_t>(ini.ReadInteger(section, "color", static_cast<int32_t>(DefaultWaterColor)));
        regions.push_back(std::move(region));
    }
}

namespace {

std::unique_ptr<TMemoryStream> ExtractSectorMember(TMPKFile& archive)
{
    return archive.ExtractToMemory(SectorMember, {MaxSectorBytes, TExtractLimit::Refuse});
}

}  // namespace

std::vector<uint8_t> ExtractWaterRegions(TMPKFile& archive, TWaterRegionList& regions)
{
    regions.clear();
    const std::unique_ptr<TMemoryStream> member = ExtractSectorMember(archive);
    const std::span<const uint8_t> bytes(member->Bytes());
    NamingFailures(archive.FileName(), SectorMember, [&] { ReadWaterRegions(TIniFile(bytes), regions); });
    return {bytes.begin(), bytes.end()};
}

void WriteSectorFile(std::span<const uint8_t> bytes, const std::string& directory)
{
    if (const auto failure = WriteFileAtomically(directory, SectorMember, bytes))
        Log(*failure + "; the water regions are read from the archive");
}

void LoadWaterRegions(TMPKFile& archive, TWaterRegionList& regions, const std::string& directory)
{
    regions.clear();
    const std::unique_ptr<TMemoryStream> member = ExtractSectorMember(archive);
    const std::span<const uint8_t> bytes(member->Bytes());
    WriteSectorFile(bytes, directory);
    NamingFailures(archive.FileName(), SectorMember, [&] { ReadWaterRegions(TIniFile(bytes), regions); });
}

}  // namespace orv
