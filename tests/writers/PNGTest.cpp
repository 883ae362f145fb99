// EncodePNG / WritePNG: every channel count at 8 and 16 bits decoded by ImageMagick, the
// chunk layout with valid CRCs and nothing else in it, the same bytes for the same
// pixels, the row filters, argument and file errors.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>

#include "formats/ImageTestSupport.h"
#include "writers/PNG.h"

namespace {

// Samples of a test picture with the given channel count: grey = red, grey+alpha =
// red and alpha. 16-bit samples spread the 8-bit value over both bytes and add a
// varying low byte, so that byte order mistakes show.
std::vector<uint8_t> Samples(int width, int height, int channels, int bitDepth)
{
    const orv::TImage rgba = orvtest::TestPicture(width, height, 4);
    std::vector<uint8_t> out;
    for (size_t p = 0; p < rgba.Pixels.size(); p += 4) {
        std::vector<uint8_t> values;
        switch (channels) {
        case 1: values = {rgba.Pixels[p]}; break;
        case 2: values = {rgba.Pixels[p], rgba.Pixels[p + 3]}; break;
        case 3: values = {rgba.Pixels[p], rgba.Pixels[p + 1], rgba.Pixels[p + 2]}; break;
        default: values.assign(rgba.Pixels.begin() + ptrdiff_t(p), rgba.Pixels.begin() + ptrdiff_t(p) + 4);
        }
        for (uint8_t v : values) {
            if (bitDepth == 8) {
                out.push_back(v);
            } else {
                const uint16_t sample = uint16_t(v << 8 | ((v * 7 + p) & 0xFF));
                uint8_t bytes[2];
                std::memcpy(bytes, &sample, 2);
                out.insert(out.end(), bytes, bytes + 2);
            }
        }
    }
    return out;
}

// What ImageMagick's rgba output of such a PNG holds: 16-bit little-endian samples.
std::vector<uint16_t> ExpectedRGBA16(const std::vector<uint8_t>& samples, int channels, int bitDepth)
{
    std::vector<uint16_t> values;
    for (size_t i = 0; i < samples.size(); i += size_t(bitDepth / 8)) {
        uint16_t v = samples[i];
        if (bitDepth == 8)
            v = uint16_t(v * 257);
        else
            std::memcpy(&v, &samples[i], 2);
        values.push_back(v);
    }
    std::vector<uint16_t> rgba;
    for (size_t i = 0; i < values.size(); i += size_t(channels)) {
        switch (channels) {
        case 1: rgba.insert(rgba.end(), {values[i], values[i], values[i], 65535}); break;
        case 2: rgba.insert(rgba.end(), {values[i], values[i], values[i], values[i + 1]}); break;
        case 3: rgba.insert(rgba.end(), {values[i], values[i + 1], values[i + 2], 65535}); break;
        default: rgba.insert(rgba.end(), values.begin() + ptrdiff_t(i), values.begin() + ptrdiff_t(i) + 4);
        }
    }
    return rgba;
}

struct TChunk {
    std::string Type;
    std::vector<uint8_t> Body;
};

uint32_t Big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Splits a PNG into chunks, checking each CRC with zlib.
std::vector<TChunk> Chunks(const std::vector<uint8_t>& png)
{
    std::vector<TChunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = Big32(&png[at]);
        EXPECT_LE(at + 12 + length, png.size());
        const uLong crc = crc32(crc32(0, Z_NULL, 0), &png[at + 4], length + 4);
        EXPECT_EQ(Big32(&png[at + 8 + length]), uint32_t(crc));
        chunks.push_back({std::string(png.begin() + ptrdiff_t(at) + 4, png.begin() + ptrdiff_t(at) + 8),
                          {png.begin() + ptrdiff_t(at) + 8, png.begin() + ptrdiff_t(at + 8 + length)}});
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    return chunks;
}

TEST(PNG, ChunkLayoutAndHeader)
{
    const auto png = orv::EncodePNG(5, 3, 3, 16, Samples(5, 3, 3, 16));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    const auto chunks = Chunks(png);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].Type, "IHDR");
    EXPECT_EQ(chunks[1].Type, "IDAT");
    EXPECT_EQ(chunks[2].Type, "IEND");
    ASSERT_EQ(chunks[0].Body.size(), 13u);
    EXPECT_EQ(Big32(&chunks[0].Body[0]), 5u);
    EXPECT_EQ(Big32(&chunks[0].Body[4]), 3u);
    EXPECT_EQ(chunks[0].Body[8], 16);   // bit depth
    EXPECT_EQ(chunks[0].Body[9], 2);    // RGB
}

// The image data of all IDAT chunks, inflated.
std::vector<uint8_t> FilteredRows(const std::vector<TChunk>& chunks, size_t size)
{
    std::vector<uint8_t> packed;
    for (const TChunk& chunk : chunks)
        if (chunk.Type == "IDAT")
            packed.insert(packed.end(), chunk.Body.begin(), chunk.Body.end());
    std::vector<uint8_t> raw(size);
    uLongf got = uLongf(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &got, packed.data(), uLong(packed.size())), Z_OK);
    EXPECT_EQ(got, raw.size());
    return raw;
}

TEST(PNG, RowsUseSeveralFilters)
{
    // The picture's gradients favour Sub/Up/Paeth over None in most rows.
    const int width = 64, height = 32;
    const auto png = orv::EncodePNG(width, height, 3, 8, Samples(width, height, 3, 8));
    const auto raw = FilteredRows(Chunks(png), size_t(width * 3 + 1) * height);
    std::set<int> filters;
    for (int y = 0; y < height; ++y)
        filters.insert(raw[size_t(y) * (width * 3 + 1)]);
    EXPECT_GE(filters.size(), 2u);
    for (int f : filters)
        EXPECT_LE(f, 4);
}

TEST(PNG, SamePixelsGiveTheSameBytesWithNoTimeOrText)
{
    // Large enough for the data to span several IDAT chunks.
    const int width = 300, height = 200;
    for (const int bitDepth : {8, 16}) {
        const auto samples = Samples(width, height, 4, bitDepth);
        const auto first = orv::EncodePNG(width, height, 4, bitDepth, samples);
        EXPECT_EQ(orv::EncodePNG(width, height, 4, bitDepth, samples), first);
        std::set<std::string> types;
        for (const TChunk& chunk : Chunks(first))
            types.insert(chunk.Type);
        EXPECT_EQ(types, (std::set<std::string>{"IHDR", "IDAT", "IEND"}));
        auto changed = samples;
        changed[changed.size() / 2] ^= 1;
        EXPECT_NE(orv::EncodePNG(width, height, 4, bitDepth, changed), first);
    }
}

TEST(PNGVsImageMagick, EveryLayoutDecodesToTheSamples)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const int width = 37, height = 23;
    for (const int bitDepth : {8, 16}) {
        for (int channels = 1; channels <= 4; ++channels) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bitDepth) + " bits");
            const auto samples = Samples(width, height, channels, bitDepth);
            const std::string path = dir.File("image.png");
            orv::WritePNG(path, width, height, channels, bitDepth, samples);
            const std::string out = dir.File("image.rgba");
            ASSERT_TRUE(orvtest::RunConvert({path, "-depth", "16", "-endian", "LSB", "rgba:" + out}));
            const auto bytes = orvtest::ReadBytes(out);
            std::vector<uint16_t> decoded(bytes.size() / 2);
            std::memcpy(decoded.data(), bytes.data(), decoded.size() * 2);
            EXPECT_EQ(decoded, ExpectedRGBA16(samples, channels, bitDepth));
        }
    }
}

TEST(PNGVsImageMagick, TextChunksAndManyIDATChunks)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    // Noise does not compress: its data spans many IDAT chunks, which must join up.
    const int width = 256, height = 256;
    std::vector<uint8_t> noise(size_t(width) * height * 4);
    uint32_t state = 12345;
    for (uint8_t& v : noise) {
        state = state * 1664525u + 1013904223u;
        v = uint8_t(state >> 24);
    }
    const std::vector<orv::TPNGText> text{{"Zone", "111"}, {"Loc bounds", "0 0 65535 65535"}};
    const auto png = orv::EncodePNG(width, height, 4, 8, noise, text);
    const auto chunks = Chunks(png);
    ASSERT_GT(chunks.size(), 5u);
    EXPECT_EQ(chunks[1].Type, "tEXt");
    EXPECT_EQ(std::string(chunks[2].Body.begin(), chunks[2].Body.end()), std::string("Loc bounds\0000 0 65535 65535", 26));
    EXPECT_GT(std::count_if(chunks.begin(), chunks.end(), [](const TChunk& c) { return c.Type == "IDAT"; }), 4);

    orvtest::TScratchDir dir;
    const std::string path = dir.File("noise.png");
    orvtest::WriteBytes(path, png);
    const std::string out = dir.File("noise.rgba");
    ASSERT_TRUE(orvtest::RunConvert({path, "-depth", "8", "rgba:" + out}));
    EXPECT_EQ(orvtest::ReadBytes(out), noise);

    const std::vector<uint8_t> one(1);
    EXPECT_NO_THROW(orv::EncodePNG(1, 1, 1, 8, one, std::vector<orv::TPNGText>{{"Zone id", "1"}}));

    EXPECT_THROW(orv::EncodePNG(1, 1, 1, 8, one, std::vector<orv::TPNGText>{{" Zone", "1"}}), std::invalid_argument);
    EXPECT_THROW(orv::EncodePNG(1, 1, 1, 8, one, std::vector<orv::TPNGText>{{"", "1"}}), std::invalid_argument);
    EXPECT_THROW(orv::EncodePNG(1, 1, 1, 8, one, std::vector<orv::TPNGText>{{"Zone", std::string("1\0", 2)}}),
                 std::invalid_argument);
}

TEST(PNG, ArgumentAndFileErrors)
{
    const std::vector<uint8_t> four(4);
    EXPECT_THROW(orv::EncodePNG(0, 1, 1, 8, {}), std::invalid_argument);
    EXPECT_THROW(orv::EncodePNG(2, 2, 5, 8, four), std::invalid_argument);
    EXPECT_THROW(orv::EncodePNG(2, 2, 1, 4, four), std::invalid_argument);
    EXPECT_THROW(orv::EncodePNG(2, 2, 1, 16, four), std::invalid_argument);   // needs 8 bytes
    EXPECT_NO_THROW(orv::EncodePNG(2, 2, 1, 8, four));
    // Sides over a million pixels are refused, as many readers refuse them.
    const std::vector<uint8_t> wide(2'000'000);
    try {
        orv::EncodePNG(2'000'000, 1, 1, 8, wide);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("PNG: ")) << e.what();
    }

    orvtest::TScratchDir dir;
    const std::string path = dir.File("missing-directory/out.png");
    try {
        orv::WritePNG(path, 2, 2, 1, 8, four);
        ADD_FAILURE() << "no error";
    } catch (const orv::EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
    }
}

}  // namespace
