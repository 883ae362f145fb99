// WaterRegions: a zone's rivers and lakes from the member "sector.dat" of its data
// archive.
//
//   LoadWaterRegions(archive, regions);          // the zone loading step
//   ReadWaterRegions(TIniFile(bytes), regions);  // the text alone, appending
//
// "waterdefs"/"num" rivers; river r is section "river%2.2d" with "bankpoints" pairs of
// keys "left%2.2d" and "right%2.2d" (each "x,y", further items ignored), "height" and
// "color" (0x00BBGGRR, default 0xFFFF00). A region keeps the bounding rectangle of all
// bank points of its river.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zone/Zone.h"

namespace orv {

class TMPKFile;
class TIniFile;

constexpr std::string_view SectorMember = "sector.dat";
constexpr uint32_t DefaultWaterColor = 0xFFFF00;
// More rivers than this in "num" is taken for a damaged file.
constexpr int MaxWaterRegions = 65536;
// A "sector.dat" larger than this is no water definition (a zone's rivers and lakes take
// a few kilobytes): the member is refused once that much is inflated, before it fills
// memory or the disk.
constexpr int64_t MaxSectorBytes = int64_t{4} << 20;

// Appends one region per river. A bad bank point raises EListError ("List index out of
// bounds (%d)") or EConvertError ("'%s' is not a valid integer value"); the regions of
// the rivers before it stay appended. A "num" above MaxWaterRegions raises EFormatError
// before any region is added.
void ReadWaterRegions(const TIniFile& ini, TWaterRegionList& regions);

// Clears the list, extracts "sector.dat" (raising the archive's error when it is
// missing, EMPKError when it is larger than MaxSectorBytes), writes it to
// directory/sector.dat (a temporary file in the directory renamed into place) and reads
// the regions from the member's bytes. When the file cannot be written, one log line
// says so and the regions are read all the same. Errors name the archive and the member.
void LoadWaterRegions(TMPKFile& archive, TWaterRegionList& regions, const std::string& directory = ".");
// The two halves of LoadWaterRegions for a loader that writes the file only once the
// rest of its zone has loaded: the regions read (the member's bytes returned) ...
std::vector<uint8_t> ExtractWaterRegions(TMPKFile& archive, TWaterRegionList& regions);
// ... and directory/sector.dat written (a failure logged).
void WriteSectorFile(std::span<const uint8_t> bytes, const std::string& directory = ".");

}  // namespace orv
