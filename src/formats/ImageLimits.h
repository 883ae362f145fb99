// ImageLimits: how large a decoded image the readers build, whatever the header claims.
//
//   TDDSImage image;
//   image.LoadFromStream(stream, {.MaxSide = maxTextureSize, .MaxBytes = budgetLeft});
//
// Every command and the viewer keep their peak memory within max(512 MiB, 8 x the size
// of the files they read). For images the readers hold that line with two rules, checked
// right after the header and before any pixel is allocated (EImageTooLarge otherwise):
// - what the format can encode: uncompressed pixel data cannot be longer than the file,
//   so an image needs the bytes it claims (each reader says how it counts them);
// - where a few bytes may stand for many pixels (run-length data, which can describe any
//   size with an end marker), the decoded image takes at most MostDecodedBytes of its
//   source: 8 bytes per source byte, and never less than MinDecodedImageBytes, which is
//   far above any image of the game (tiles of 256 x 256, sky and water of 512 x 512).
// A caller may narrow both further (TImageLimits): the texture uploads pass the driver's
// largest texture and what is left of the zone's texture budget (TileTextureBudget).
// Every limit a picture is held to is in this file.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "base/Exception.h"

namespace orv {

class EImageTooLarge : public EFormatError { using EFormatError::EFormatError; };

constexpr uint64_t MinDecodedImageBytes = uint64_t{64} << 20;   // 4096 x 4096 RGBA
constexpr uint64_t DecodedBytesPerSourceByte = 8;

constexpr uint64_t MostDecodedBytes(uint64_t sourceBytes)
{
    const uint64_t scaled = sourceBytes > std::numeric_limits<uint64_t>::max() / DecodedBytesPerSourceByte
                                ? std::numeric_limits<uint64_t>::max()
                                : sourceBytes * DecodedBytesPerSourceByte;
    return scaled > MinDecodedImageBytes ? scaled : MinDecodedImageBytes;
}

// A raw TGA image may lack this many bytes at the end of a file cut short (they read as
// zeros); a claim beyond the file and this is no image of that file.
constexpr uint64_t ShortTGAAllowance = uint64_t{1} << 20;

// A BMP image has at most this many pixels a side.
constexpr int64_t MaxBitmapSide = 32768;

// A picture file is read whole only when it is at most this long (PCX, whose palette
// stands at the end of the file).
constexpr int64_t MaxWholePictureFileBytes = int64_t{512} << 20;

// The decoded bytes the 64 tiles of one zone may take together: 8 bytes per byte of the
// texture archive, and never less than MinTileTextureBudget, which holds 64 tiles of
// 512 x 512 pixels as 24-bit bitmaps four times over (the game's tiles are 256 x 256).
constexpr uint64_t MinTileTextureBudget = uint64_t{128} << 20;
inline constexpr std::string_view TileBudgetName = "left of the zone's texture budget";

constexpr uint64_t TileTextureBudget(int64_t archiveBytes)
{
    const uint64_t bytes = archiveBytes > 0 ? static_cast<uint64_t>(archiveBytes) : 0;
    const uint64_t scaled = bytes > std::numeric_limits<uint64_t>::max() / DecodedBytesPerSourceByte
                                ? std::numeric_limits<uint64_t>::max()
                                : bytes * DecodedBytesPerSourceByte;
    return scaled > MinTileTextureBudget ? scaled : MinTileTextureBudget;
}

struct TImageLimits {
    uint64_t MaxSide = std::numeric_limits<uint64_t>::max();    // pixels, width and height
    uint64_t MaxBytes = std::numeric_limits<uint64_t>::max();   // of the decoded image
    std::string_view Budget = "left for it";                    // what MaxBytes is, for the message
    // A reader that keeps its data as stored (DDS blocks) counts its own bytes against
    // MaxBytes; a caller that decodes them further sets the bytes a decoded pixel takes.
    uint64_t DecodedPixelBytes = 0;
};

// Raises EImageTooLarge "<kind> image of W x H pixels ..." when a side or the decoded
// bytes exceed the limits.
inline void CheckImageLimits(std::string_view kind, uint64_t width, uint64_t height, uint64_t bytes,
                             const TImageLimits& limits)
{
    const std::string image =
        std::string(kind).append(" image of ").append(std::to_string(width)).append(" x ").append(
            std::to_string(height)).append(" pixels");
    if (width > limits.MaxSide || height > limits.MaxSide)
        throw EImageTooLarge(std::string(image).append(" is larger than the largest texture (")
                                 .append(std::to_string(limits.MaxSide)).append(" pixels a side)"));
    if (bytes > limits.MaxBytes)
        throw EImageTooLarge(std::string(image).append(" needs ").append(std::to_string(bytes))
                                 .append(" bytes, more than the ").append(std::to_string(limits.MaxBytes))
                                 .append(" bytes ").append(limits.Budget));
}

// Raises EImageTooLarge when the decoded bytes exceed what `sourceBytes` can stand for
// (`most`, from the format's own rule or MostDecodedBytes).
inline void CheckDecodedSize(std::string_view kind, uint64_t width, uint64_t height, uint64_t bytes,
                             uint64_t sourceBytes, uint64_t most)
{
    if (bytes > most)
        throw EImageTooLarge(std::string(kind).append(" image of ").append(std::to_string(width)).append(" x ")
                                 .append(std::to_string(height)).append(" pixels (").append(std::to_string(bytes))
                                 .append(" bytes) cannot come from the ").append(std::to_string(sourceBytes))
                                 .append(" bytes left in the file"));
}

}  // namespace orv
