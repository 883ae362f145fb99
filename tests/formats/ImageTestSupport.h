// Shared helpers of the image tests: a deterministic test picture, little-endian byte
// building, a scratch directory, and calls of ImageMagick's convert for images that no
// one here wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ExternalPrograms.h"
#include "formats/Stream.h"
#include "writers/ImageWriters.h"

namespace orvtest {

// Gradients, a disc, a rectangle and diagonal stripes; with alpha a horizontal ramp
// with a fully transparent and a fully opaque band.
orv::TImage TestPicture(int width, int height, int channels);

// Bytes as an in-memory stream positioned at 0.
std::unique_ptr<orv::TMemoryStream> MemoryStream(std::span<const uint8_t> bytes);

// Little-endian building of hand-made files.
class TBytes {
public:
    TBytes& U8(uint32_t v);
    TBytes& U16(uint32_t v);
    TBytes& U32(uint32_t v);
    TBytes& Fill(size_t count, uint8_t value = 0);
    TBytes& Raw(std::initializer_list<uint8_t> bytes);
    TBytes& Raw(std::span<const uint8_t> bytes);
    const std::vector<uint8_t>& Data() const { return m_Data; }
    std::vector<uint8_t>& Data() { return m_Data; }
    size_t Size() const { return m_Data.size(); }

private:
    std::vector<uint8_t> m_Data;
};

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset);
uint32_t GetU16(std::span<const uint8_t> bytes, size_t offset);

// A fresh directory under the system's temporary directory, removed afterwards.
class TScratchDir {
public:
    TScratchDir();
    ~TScratchDir();
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::span<const uint8_t> bytes);

// ImageMagick 6's convert: /usr/bin/convert, else the first convert on PATH; empty when
// there is none.
const std::string& ConvertProgram();
// Runs convert with the arguments (each quoted for the shell); true on success.
bool RunConvert(const std::vector<std::string>& arguments);
// Writes the picture as PPM (3 channels) or PAM (4 channels) for convert's input.
void WriteNetpbm(const std::string& path, const orv::TImage& image);
// ImageMagick's own decoding of a file: 8-bit samples, top row first; channels 3 (rgb)
// or 4 (rgba). extra: options put after the input file (for example -auto-orient).
std::vector<uint8_t> DecodeWithImageMagick(const std::string& path, int channels,
                                           const std::vector<std::string>& extra = {});

// The largest difference between two equally long sample arrays (-1 if the sizes differ).
int MaxDifference(std::span<const uint8_t> a, std::span<const uint8_t> b);

// Top-first RGB from the bottom-first, padded B,G,R rows of a 24-bit bitmap.
std::vector<uint8_t> TopFirstRGB(const uint8_t* bottomFirstBGR, int width, int height, int rowBytes);

}  // namespace orvtest

// Skips (or, in CI, fails) a test that needs ImageMagick when it is missing.
#define SKIP_WITHOUT_IMAGEMAGICK() REQUIRE_OR_SKIP(!orvtest::ConvertProgram().empty(), "ImageMagick's convert")
