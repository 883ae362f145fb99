// TPCXByteStream: run markers, the 0xC0 boundary, the end of the source, ownership, and
// the pixel bytes of PCX files written by our encoder and by ImageMagick.
#include <gtest/gtest.h>

#include "formats/ImageTestSupport.h"
#include "formats/PCXStream.h"

namespace {

using orvtest::TBytes;

constexpr size_t HeaderSize = 128;

// A PCX file body: 128 header bytes (never looked at) followed by the given data bytes.
std::vector<uint8_t> PCXWithData(std::initializer_list<uint8_t> data, uint8_t headerFill = 0)
{
    TBytes bytes;
    bytes.Fill(HeaderSize, headerFill).Raw(data);
    return bytes.Data();
}

std::vector<uint8_t> ReadBytes(orv::TPCXByteStream& stream, size_t count)
{
    std::vector<uint8_t> out(count);
    for (auto& b : out)
        b = stream.ReadByte();
    return out;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, size_t count)
{
    orv::TPCXByteStream stream(orvtest::MemoryStream(file));
    return ReadBytes(stream, count);
}

// A memory stream that reports its destruction.
class TTrackedStream : public orv::TMemoryStream {
public:
    explicit TTrackedStream(bool& destroyed) : m_Destroyed(destroyed) {}
    ~TTrackedStream() override { m_Destroyed = true; }

private:
    bool& m_Destroyed;
};

TEST(PCXByteStream, RunMarkersRepeatTheFollowingByte)
{
    EXPECT_EQ(Decode(PCXWithData({0xC3, 0x07, 0x05}), 4), (std::vector<uint8_t>{7, 7, 7, 5}));
    // A run of one is how data bytes of 192 and above are stored.
    EXPECT_EQ(Decode(PCXWithData({0xC1, 0xFF, 0x02}), 2), (std::vector<uint8_t>{255, 2}));
    // The longest run: 63 copies, then the next byte.
    const std::vector<uint8_t> longest = Decode(PCXWithData({0xFF, 0x10, 0x04}), 64);
    EXPECT_EQ(std::count(longest.begin(), longest.end() - 1, 0x10), 63);
    EXPECT_EQ(longest.back(), 4);
    // A run whose value is itself above the marker boundary is not a marker again.
    EXPECT_EQ(Decode(PCXWithData({0xC2, 0xC5, 0x01}), 3), (std::vector<uint8_t>{0xC5, 0xC5, 1}));
}

TEST(PCXByteStream, ByteC0IsDataNotAMarker)
{
    EXPECT_EQ(Decode(PCXWithData({0xC0, 0x03, 0xC1, 0xC0}), 3), (std::vector<uint8_t>{192, 3, 192}));
}

TEST(PCXByteStream, RunsIgnoreScanLines)
{
    // One run delivers bytes to whatever row the caller is reading.
    orv::TPCXByteStream stream(orvtest::MemoryStream(PCXWithData({0x01, 0xC5, 0x09, 0x02})));
    EXPECT_EQ(ReadBytes(stream, 3), (std::vector<uint8_t>{1, 9, 9}));
    EXPECT_EQ(ReadBytes(stream, 4), (std::vector<uint8_t>{9, 9, 9, 2}));
}

TEST(PCXByteStream, HeaderIsSkippedUnread)
{
    // Header bytes that would be run markers or odd values change nothing.
    EXPECT_EQ(Decode(PCXWithData({0x05, 0xC2, 0x06}, 0xFF), 3), Decode(PCXWithData({0x05, 0xC2, 0x06}, 0x00), 3));
    EXPECT_EQ(Decode(PCXWithData({0x05, 0xC2, 0x06}, 0xFF), 3), (std::vector<uint8_t>{5, 6, 6}));
}

TEST(PCXByteStream, ExhaustedSourceRepeatsTheLastValue)
{
    // Exactly the header: nothing ever read, the value stays 0.
    EXPECT_EQ(Decode(PCXWithData({}), 5), std::vector<uint8_t>(5, 0));
    // After the last literal byte every call returns it again.
    EXPECT_EQ(Decode(PCXWithData({0x11, 0x22}), 6), (std::vector<uint8_t>{0x11, 0x22, 0x22, 0x22, 0x22, 0x22}));
    // A pending run is delivered in full first, then its value keeps coming.
    EXPECT_EQ(Decode(PCXWithData({0x05, 0xC2, 0x09}), 6), (std::vector<uint8_t>{5, 9, 9, 9, 9, 9}));
    // A source ending right after a marker: the marker's own value comes out from then on.
    EXPECT_EQ(Decode(PCXWithData({0x05, 0xC4}), 8), (std::vector<uint8_t>{5, 0xC4, 0xC4, 0xC4, 0xC4, 0xC4, 0xC4, 0xC4}));
}

TEST(PCXByteStream, ShortSourceStartsFromZero)
{
    // A source shorter than the header: positioned past its end, every call returns 0.
    EXPECT_EQ(Decode(std::vector<uint8_t>(20, 0x77), 3), std::vector<uint8_t>(3, 0));
}

TEST(PCXByteStream, OwnsItsSource)
{
    bool destroyed = false;
    {
        auto source = std::make_unique<TTrackedStream>(destroyed);
        const auto file = PCXWithData({0x42});
        source->WriteBuffer(file.data(), static_cast<int64_t>(file.size()));
        orv::TPCXByteStream stream(std::move(source));
        EXPECT_EQ(stream.ReadByte(), 0x42);
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

// The indices of an image written by EncodePCX8 come back in order, line by line, with
// the padding byte of odd widths in between.
TEST(PCXByteStream, DecodesOurEncoderOutput)
{
    for (const int width : {1, 7, 64, 200}) {
        const int height = 9;
        std::vector<uint8_t> indices(size_t(width) * height);
        for (size_t i = 0; i < indices.size(); ++i)
            indices[i] = static_cast<uint8_t>((i / 5) % 7 == 0 ? 0xC0 + i % 64 : (i * 37) % 256);
        const auto file = orv::EncodePCX8(width, height, indices, {});
        const int bytesPerLine = (width + 1) & ~1;
        orv::TPCXByteStream stream(orvtest::MemoryStream(file));
        for (int y = 0; y < height; ++y) {
            const auto line = ReadBytes(stream, size_t(bytesPerLine));
            ASSERT_TRUE(std::equal(line.begin(), line.begin() + width, indices.begin() + ptrdiff_t(y) * width))
                << "width " << width << " row " << y;
        }
    }
}

// An 8-bit palette PCX written by ImageMagick: our byte stream plus the palette at the
// end of the file gives the pixels ImageMagick decodes.
TEST(PCXByteStreamVsImageMagick, PalettePCXMatchesImageMagickDecoding)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    for (const int width : {37, 64}) {
        const int height = 23;
        orvtest::WriteNetpbm(dir.File("source.ppm"), orvtest::TestPicture(width, height, 3));
        const std::string pcx = dir.File("image" + std::to_string(width) + ".pcx");
        ASSERT_TRUE(orvtest::RunConvert({dir.File("source.ppm"), "-type", "palette", "-colors", "200", "PCX:" + pcx}));
        const auto file = orvtest::ReadBytes(pcx);
        ASSERT_GT(file.size(), HeaderSize + 769);
        ASSERT_EQ(file[3], 8) << "bits per pixel";
        ASSERT_EQ(file[65], 1) << "planes";
        const uint32_t bytesPerLine = orvtest::GetU16(file, 66);
        ASSERT_GE(bytesPerLine, uint32_t(width));
        const size_t paletteAt = file.size() - 768;
        ASSERT_EQ(file[paletteAt - 1], 0x0C);

        orv::TPCXByteStream stream(orvtest::MemoryStream(file));
        std::vector<uint8_t> rgb;
        for (int y = 0; y < height; ++y) {
            const auto line = ReadBytes(stream, bytesPerLine);
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb.push_back(file[paletteAt + line[x] * 3 + c]);
        }
        EXPECT_EQ(rgb, orvtest::DecodeWithImageMagick(pcx, 3)) << "width " << width;
    }
}

}  // namespace
