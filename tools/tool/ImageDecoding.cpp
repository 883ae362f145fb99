// ImageDecoding: telling the game's files apart and decoding their pictures.
#include "tool/ImageDecoding.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "formats/DDSImage.h"
#include "formats/MPKFile.h"
#include "tool/FileError.h"

namespace orvtool {

using orv::TImage;

namespace {

// Whether every texel of the picture is opaque.
bool Opaque(const TImage& image)
{
    constexpr int RGBA = 4;
    constexpr uint8_t Full = 0xFF;
    for (size_t i = RGBA - 1; i < image.Pixels.size(); i += RGBA)
        if (image.Pixels[i] != Full)
            return false;
    return true;
}

}  // namespace

// ---- kinds ----

std::vector<uint8_t> ReadHead(orv::TStream& source)
{
    source.SetPosition(0);
    std::vector<uint8_t> head(orv::PictureHeadBytes);
    head.resize(static_cast<size_t>(source.Read(head.data(), static_cast<int64_t>(head.size()))));
    source.SetPosition(0);
    return head;
}

bool IsArchive(std::span<const uint8_t> head)
{
    const std::string_view magic = orv::MPKMagic;
    return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
}

const orv::TPictureFormat& PictureFormatOf(std::span<const uint8_t> head, const std::string& name)
{
    if (IsArchive(head))
        throw FileError(name, "", "an MPAK archive, not an image (extract its members first)");
    if (const orv::TPictureFormat* format = orv::DetectPicture(head, name))
        return *format;
    std::string kinds = "not an MPAK archive";
    for (size_t i = 0; i < orv::PictureFormats.size(); ++i)
        kinds.append(i + 1 < orv::PictureFormats.size() ? ", " : " or ").append(orv::PictureFormats[i].Name);
    throw FileError(name, "", kinds + " file");
}

// ---- any picture ----

TImage DecodeImage(orv::TStream& source, const std::string& name)
{
    return orv::NamingFailures(name, "", [&] {
        const std::vector<uint8_t> head = ReadHead(source);
        const orv::TPictureFormat& format = PictureFormatOf(head, name);
        TImage image = format.Decode(source, {});
        if (!image.Damage.empty())
            throw FileError(name, "", image.Damage);
        // DXT1 tiles without a transparent texel make an RGB picture.
        const std::string_view dxt1 = "DXT1";
        if (format.Decode == orv::DecodeDDSPicture &&
            std::equal(dxt1.begin(), dxt1.end(), head.begin() + orv::DDSHeader::FourCC) && Opaque(image))
            image = orv::WithoutAlpha(std::move(image));
        // The readers take a header of no width or no height (the viewer shows nothing);
        // a picture to write needs a pixel.
        if (image.Width <= 0 || image.Height <= 0)
            throw FileError(name, "", "an image of " + std::to_string(image.Width) + " x " +
                                          std::to_string(image.Height) + " pixels, nothing to convert");
        return image;
    });
}

TImage DecodeImage(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    return DecodeImage(file, path);
}

}  // namespace orvtool
