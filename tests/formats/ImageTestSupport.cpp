#include "formats/ImageTestSupport.h"

#include "TestSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace orvtest {

orv::TImage TestPicture(int width, int height, int channels)
{
    orv::TImage image{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    const int cx = width / 2, cy = height / 3, radius = std::max(2, std::min(width, height) / 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.Pixels.data() + (size_t(y) * width + x) * channels;
            int r = width > 1 ? x * 255 / (width - 1) : 0;
            int g = height > 1 ? y * 255 / (height - 1) : 0;
            int b = ((x + y) * 7) % 256;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) {
                r = 250, g = 220, b = 30;                       // disc
            } else if (x >= width / 8 && x < width / 3 && y >= height * 2 / 3) {
                r = 20, g = 40, b = 200;                        // rectangle
            } else if ((x + 2 * y) % 11 == 0) {
                r = 255 - r, g = 255 - g;                       // stripes
            }
            p[0] = static_cast<uint8_t>(r);
            p[1] = static_cast<uint8_t>(g);
            p[2] = static_cast<uint8_t>(b);
            if (channels == 4) {
                int a = width > 1 ? x * 255 / (width - 1) : 255;
                if (y < height / 4)
                    a = 255;
                else if (y >= height * 3 / 4 && x < width / 2)
                    a = 0;
                p[3] = static_cast<uint8_t>(a);
            }
        }
    }
    return image;
}

std::unique_ptr<orv::TMemoryStream> MemoryStream(std::span<const uint8_t> bytes)
{
    auto stream = std::make_unique<orv::TMemoryStream>();
    stream->SetSize(static_cast<int64_t>(bytes.size()));
    if (!bytes.empty())
        std::memcpy(stream->Memory(), bytes.data(), bytes.size());
    stream->SetPosition(0);
    return stream;
}

TBytes& TBytes::U8(uint32_t v)
{
    m_Data.push_back(static_cast<uint8_t>(v));
    return *this;
}
TBytes& TBytes::U16(uint32_t v) { return U8(v).U8(v >> 8); }
TBytes& TBytes::U32(uint32_t v) { return U16(v).U16(v >> 16); }
TBytes& TBytes::Fill(size_t count, uint8_t value)
{
    m_Data.insert(m_Data.end(), count, value);
    return *this;
}
TBytes& TBytes::Raw(std::initializer_list<uint8_t> bytes)
{
    m_Data.insert(m_Data.end(), bytes.begin(), bytes.end());
    return *this;
}
TBytes& TBytes::Raw(std::span<const uint8_t> bytes)
{
    m_Data.insert(m_Data.end(), bytes.begin(), bytes.end());
    return *this;
}

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset)
{
    return GetU16(bytes, offset) | GetU16(bytes, offset + 2) << 16;
}

uint32_t GetU16(std::span<const uint8_t> bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset] | bytes[offset + 1] << 8);
}

TScratchDir::TScratchDir()
{
    m_Path = orv::test::MakeScratchDirectory("orvandel-images");
}

TScratchDir::~TScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) { return orv::ReadWholeFile(path); }

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes)
{
    orv::WriteWholeFile(path, bytes.data(), bytes.size());
}

const std::string& ConvertProgram()
{
    static const std::string program = [] {
        const std::string standard = FindProgram("/usr/bin/convert");
        return standard.empty() ? FindProgram("convert") : standard;
    }();
    return program;
}

namespace {

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

bool RunConvert(const std::vector<std::string>& arguments)
{
    std::string command = ShellQuoted(ConvertProgram());
    for (const std::string& argument : arguments)
        command.append(" ").append(ShellQuoted(argument));
    return std::system(command.c_str()) == 0;
}

void WriteNetpbm(const std::string& path, const orv::TImage& image)
{
    std::string header;
    if (image.Channels == 3)
        header = "P6\n" + std::to_string(image.Width) + " " + std::to_string(image.Height) + "\n255\n";
    else
        header = "P7\nWIDTH " + std::to_string(image.Width) + "\nHEIGHT " + std::to_string(image.Height) +
                 "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), image.Pixels.begin(), image.Pixels.end());
    WriteBytes(path, bytes);
}

std::vector<uint8_t> DecodeWithImageMagick(const std::string& path, int channels, const std::vector<std::string>& extra)
{
    // A frame selector such as "[0]" is not part of the file name.
    const std::string base = path.back() == ']' ? path.substr(0, path.rfind('[')) : path;
    const std::string out = base + (channels == 4 ? ".decoded.rgba" : ".decoded.rgb");
    std::vector<std::string> arguments{path};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.insert(arguments.end(), {"-depth", "8", (channels == 4 ? "rgba:" : "rgb:") + out});
    if (!RunConvert(arguments))
        return {};
    return ReadBytes(out);
}

int MaxDifference(std::span<const uint8_t> a, std::span<const uint8_t> b)
{
    if (a.size() != b.size())
        return -1;
    int most = 0;
    for (size_t i = 0; i < a.size(); ++i)
        most = std::max(most, std::abs(int(a[i]) - int(b[i])));
    return most;
}

std::vector<uint8_t> TopFirstRGB(const uint8_t* bottomFirstBGR, int width, int height, int rowBytes)
{
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bottomFirstBGR + size_t(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            uint8_t* p = rgb.data() + (size_t(y) * width + x) * 3;
            p[0] = row[x * 3 + 2];
            p[1] = row[x * 3 + 1];
            p[2] = row[x * 3];
        }
    }
    return rgb;
}

}  // namespace orvtest
