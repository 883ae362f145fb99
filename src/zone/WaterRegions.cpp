#include "zone/WaterRegions.h"

#include <optional>
#include <span>
#include <vector>

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Log.h"
#include "base/platform/Files.h"
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

// Writes bytes to path by way of a temporary file in the same directory, so that path
// holds either its old content or the new one, never a part. Returns the reason of a
// failure, nothing on success.
std::optional<std::string> WriteFileAtomically(const std::string& directory, std::string_view name,
                                               std::span<const uint8_t> bytes)
{
    const std::string target = IncludeTrailingPathDelimiter(directory) + std::string(name);
    platform::TAtomicFile file;
    platform::TError error = file.Begin(target);
    const auto size = static_cast<int64_t>(bytes.size());
    if (!error && file.File().Write(bytes.data(), size) != size)
        error = platform::TError::Last();
    if (!error)
        error = file.Commit();
    if (error)
        return Format("Cannot write %s (%s)", {target, error.Text()});
    return std::nullopt;
}

}  // namespace

std::string WaterRegionSection(int r) { return Format("river%2.2d", {r}); }

void ReadWaterRegions(const TIniFile& ini, TWaterRegionList& regions)
{
    const int32_t count = ini.ReadInteger("waterdefs", "num", 0);
    if (count > MaxWaterRegions)
        throw EFormatError(Format("%s: %d water regions, more than the %d a zone can have",
                                  {SectorMember, count, MaxWaterRegions}));
    double cells = 0.0;
    for (int32_t r = 0; r < count; ++r) {
        const std::string section = WaterRegionSection(r);
        const std::string where = Format("%s: [%s]", {SectorMember, section});
        TRect bounds;
        const int32_t bankPoints = ini.ReadInteger(section, "bankpoints", 0);
        for (int32_t i = 0; i < bankPoints; ++i)
            for (const char* side : {"left", "right"}) {
                const std::string key = Format("%s%2.2d", {side, i});
                const std::string value = ini.ReadString(section, key, "");
                if (value.empty())
                    throw EListError(where + ": no " + key);
                NamingFailures(where, key, [&] { AddBankPoint(bounds, value, i == 0 && side[0] == 'l'); });
            }
        cells += (static_cast<double>(bounds.Right) - bounds.Left) * (static_cast<double>(bounds.Bottom) - bounds.Top);
        if (cells > static_cast<double>(MaxWaterCells))
            throw EFormatError(Format("%s: the water regions up to here cover more than %d cells (four times the "
                                      "zone), more than a zone's rivers and lakes can",
                                      {where, MaxWaterCells}));
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

void LoadWaterRegions(TMPKFile& archive, TWaterRegionList& regions, const std::optional<std::string>& directory)
{
    regions.clear();
    const std::unique_ptr<TMemoryStream> member = ExtractSectorMember(archive);
    const std::span<const uint8_t> bytes(member->Bytes());
    if (directory)
        WriteSectorFile(bytes, *directory);
    NamingFailures(archive.FileName(), SectorMember, [&] { ReadWaterRegions(TIniFile(bytes), regions); });
}

}  // namespace orv
