// Textures: the three uploads, the terrain tiles and the shared textures.
#include "zone/Textures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/Log.h"
#include "formats/Bitmap.h"
#include "formats/DDSImage.h"
#include "formats/MPKFile.h"
#include "formats/TGA.h"
#include "gl/GLCalls.h"
#include "gl/GLError.h"
#include "gl/GLext.h"
#include "zone/Zone.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

constexpr GLint MipmapComponents = 4;
constexpr GLint DefaultUnpackAlignment = 4;
constexpr int BitsPerByte = 8;
constexpr uint8_t ColorMappedRLEType = TGAColorMapped + TGARunLengthTypeOffset;

// The checker made in memory when no checker.bmp can be read: light and blue squares.
constexpr int MadeCheckerSize = 256;
constexpr int MadeCheckerSquare = 32;
constexpr std::array<uint8_t, 3> MadeCheckerLight{232, 232, 226};
constexpr std::array<uint8_t, 3> MadeCheckerDark{58, 104, 168};

// The pixels of a TGA image in a form OpenGL takes, checked against the image's size.
struct TTGAPixels {
    GLenum Format = GL_BGR_EXT;
    GLenum Type = GL_UNSIGNED_BYTE;
    const uint8_t* Data = nullptr;
    std::vector<uint8_t> Expanded;   // colour-mapped images, expanded through the map
};

constexpr size_t BytesOf(int bits) { return static_cast<size_t>(bits / BitsPerByte); }

TTGAPixels TGAPixelsForUpload(const TTGAImage& image)
{
    const size_t pixels = static_cast<size_t>(image.Width()) * image.Height();
    const int depth = image.PixelDepth();
    TTGAPixels result;
    auto require = [&](size_t bytesPerPixel) {
        if (image.DataSize() < pixels * bytesPerPixel)
            throw ETextureError("TGA image holds fewer pixel bytes than its size needs");
    };
    const bool colorMapped = image.ImageType() == TGAColorMapped || image.ImageType() == ColorMappedRLEType;
    if (colorMapped && depth == TGAIndexDepth &&
        (image.ColorMapEntrySize() == TGATrueColorDepth || image.ColorMapEntrySize() == TGATrueColorAlphaDepth)) {
        // Indices into a 24- or 32-bit map: expand them; an index past the map is black.
        require(BytesOf(TGAIndexDepth));
        const size_t entryBytes = BytesOf(image.ColorMapEntrySize());
        const std::vector<uint8_t>& map = image.ColorMap();
        result.Format = entryBytes == BytesOf(TGATrueColorAlphaDepth) ? GL_BGRA_EXT : GL_BGR_EXT;
        result.Expanded.assign(pixels * entryBytes, 0);
        for (size_t i = 0; i < pixels; ++i) {
            const size_t entry = static_cast<size_t>(image.Data()[i]) * entryBytes;
            if (entry + entryBytes <= map.size())
                std::copy_n(&map[entry], entryBytes, &result.Expanded[i * entryBytes]);
        }
        result.Data = result.Expanded.data();
        return result;
    }
    switch (depth) {
    case TGATrueColorAlphaDepth:
        require(BytesOf(TGATrueColorAlphaDepth));
        result.Format = GL_BGRA_EXT;
        break;
    case TGATrueColorDepth:
        require(BytesOf(TGATrueColorDepth));
        result.Format = GL_BGR_EXT;
        break;
    case TGAHighColorDepth:
        require(BytesOf(TGAHighColorDepth));
        result.Format = GL_BGRA_EXT;
        result.Type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
        break;
    case TGAIndexDepth:
        // Grey images, and colour maps of other entry sizes, show their bytes as grey.
        require(BytesOf(TGAIndexDepth));
        result.Format = GL_LUMINANCE;
        break;
    default:
        throw ETextureError("Unsupported TGA pixel depth " + std::to_string(depth));
    }
    result.Data = image.Data();
    return result;
}

}  // namespace

void SetTextureParameters(int32_t filter, int32_t wrap)
{
    gl::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    gl::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    gl::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    gl::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    filter == GL_NEAREST || filter == GL_LINEAR ? filter : GL_LINEAR);
}

uint64_t MaxTextureSide()
{
    GLint side = 0;
    gl::glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side > 0 ? static_cast<uint64_t>(side) : TImageLimits{}.MaxSide;
}

uint64_t UploadDDSTexture(TStream& stream, uint32_t name, bool /*mipmaps: the top level only*/, int32_t filter,
                          int32_t wrap, const TImageLimits& limits)
{
    if (glext::glCompressedTexImage2D == nullptr)
        throw ETextureError("DDS texture cannot be uploaded without OpenGL 1.3");
    uint64_t bytes = 0;
    {
        TDDSImage image;
        image.LoadFromStream(stream, limits);
        bytes = static_cast<uint64_t>(image.DataSize());
        gl::glBindTexture(GL_TEXTURE_2D, name);
        glext::glCompressedTexImage2D(GL_TEXTURE_2D, 0, image.GLFormat(), static_cast<GLsizei>(image.Width()),
                                      static_cast<GLsizei>(image.Height()), 0,
                                      static_cast<GLsizei>(image.DataSize()), image.Data());
    }
    SetTextureParameters(filter, wrap);
    CheckGLError("Loading DDS texture");
    return bytes;
}

uint64_t UploadTGATexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                          const TImageLimits& limits)
{
    uint64_t bytes = 0;
    {
        TTGAImage image;
        image.LoadFromStream(stream, limits);
        bytes = image.DataSize();
        const TTGAPixels pixels = TGAPixelsForUpload(image);
        gl::glBindTexture(GL_TEXTURE_2D, name);
        // TGA rows follow each other without padding, whatever the width.
        gl::glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (mipmaps)
            gl::gluBuild2DMipmaps(GL_TEXTURE_2D, MipmapComponents, image.Width(), image.Height(), pixels.Format,
                              pixels.Type, pixels.Data);
        else
            gl::glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.Width(), image.Height(), 0, pixels.Format, pixels.Type,
                         pixels.Data);
        gl::glPixelStorei(GL_UNPACK_ALIGNMENT, DefaultUnpackAlignment);
    }
    SetTextureParameters(filter, wrap);
    return bytes;
}

uint64_t UploadBitmapTexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                             const TImageLimits& limits)
{
    uint64_t bytes = 0;
    {
        TBitmap bitmap;
        bitmap.LoadFromStream(stream, limits);
        bytes = bitmap.PixelBytes().size();
        if (bitmap.PixelBytes().size() < static_cast<size_t>(bitmap.RowBytes()) * bitmap.Height())
            throw ETextureError("Bitmap holds fewer pixel bytes than its size needs");
        gl::glBindTexture(GL_TEXTURE_2D, name);
        // Rows bottom first, padded to 4 bytes: the default unpack alignment.
        const uint8_t* bottomRow = bitmap.Pixels();
        if (mipmaps)
            gl::gluBuild2DMipmaps(GL_TEXTURE_2D, MipmapComponents, bitmap.Width(), bitmap.Height(), GL_BGR_EXT,
                              GL_UNSIGNED_BYTE, bottomRow);
        else
            gl::glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, bitmap.Width(), bitmap.Height(), 0, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                         bottomRow);
    }
    SetTextureParameters(filter, wrap);
    return bytes;
}

void LoadTGATextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap)
{
    NamingFailures(path, "", [&] {
        TFileStream file(path, TFileMode::OpenRead);
        UploadTGATexture(file, name, mipmaps, filter, wrap, {.MaxSide = MaxTextureSide()});
    });
}

void LoadBitmapTextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap)
{
    NamingFailures(path, "", [&] {
        TFileStream file(path, TFileMode::OpenRead);
        UploadBitmapTexture(file, name, mipmaps, filter, wrap, {.MaxSide = MaxTextureSide()});
    });
}

void LoadTerrainTextures(TMPKFile& archive, const TTerrainTextureTargets& targets)
{
    constexpr int side = PatchesPerSide;
    if (targets.TileTextures.size() < static_cast<size_t>(side * side))
        throw ETextureError("Terrain textures: fewer than 64 tile texture names");
    std::array<char, 64> line{};
    const uint64_t maxSide = MaxTextureSide();
    const uint64_t budget = TileTextureBudget(archive.FileSize());
    uint64_t used = 0;
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px) {
            std::snprintf(line.data(), line.size(), "Loading terrain texture (%d,%d)...", px, py);
            Log(line.data());
            const int tile = py * side + px;
            const uint32_t name = targets.TileTextures[tile];
            const std::string ddsName = TileMemberName(px, py);
            const std::string bmpName = TileBitmapMemberName(px, py);
            const TImageLimits limits{.MaxSide = maxSide, .MaxBytes = budget - used,
                                      .Budget = TileBudgetName};
            bool withoutImage = false;
            if (archive.Directory().Exists(ddsName) && targets.DDSUploads) {
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = true;
                NamingFailures(archive.FileName(), ddsName, [&] {
                    used += UploadDDSTexture(*archive.OpenMember(ddsName), name, false, TexFilterLinear, TexWrapClamp,
                                             limits);
                });
            } else if (archive.Directory().Exists(ddsName) && !archive.Directory().Exists(bmpName)) {
                // A DDS tile without the compressed upload and without an alternative.
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = true;
                Log("No OpenGL 1.3 support: " + ddsName + " not uploaded, the tile is drawn with the checker texture");
                withoutImage = true;
            } else {
                if (archive.Directory().Exists(ddsName))
                    Log("No OpenGL 1.3 support: " + ddsName + " not uploaded, " + bmpName + " used instead");
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = false;
                NamingFailures(archive.FileName(), bmpName, [&] {
                    used += UploadBitmapTexture(*archive.OpenMember(bmpName), name, false, TexFilterLinear,
                                                TexWrapClamp, limits);
                });
            }
            if (static_cast<size_t>(tile) < targets.TileWithoutImage.size())
                targets.TileWithoutImage[tile] = withoutImage;
        }
    }
}

void LoadCheckerTexture(std::span<const std::string> checkerPaths, uint32_t name)
{
    for (const std::string& path : checkerPaths) {
        try {
            LoadBitmapTextureFile(path, name, false, TexFilterLinear, TexWrapRepeat);
            return;
        } catch (const Exception& e) {
            Log(std::string(e.what()).append(": the checker terrain texture is looked for further"));
        }
    }
    Log("No checker.bmp could be read: the checker terrain texture is made in memory");
    std::vector<uint8_t> pixels(static_cast<size_t>(MadeCheckerSize) * MadeCheckerSize * 3);
    for (int y = 0; y < MadeCheckerSize; ++y)
        for (int x = 0; x < MadeCheckerSize; ++x) {
            const std::array<uint8_t, 3>& color =
                (x / MadeCheckerSquare + y / MadeCheckerSquare) % 2 == 0 ? MadeCheckerLight : MadeCheckerDark;
            std::copy(color.begin(), color.end(), pixels.begin() + (static_cast<size_t>(y) * MadeCheckerSize + x) * 3);
        }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, MadeCheckerSize, MadeCheckerSize, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    SetTextureParameters(TexFilterLinear, TexWrapRepeat);
}

void LoadSharedTextures(const std::string& gameDir, const TSharedTextureNames& names,
                        std::span<const std::string> checkerPaths)
{
    enum class TKind { Bitmap, TGA };
    struct TShared {
        std::string_view LogLine;
        std::string Path;
        TKind Kind;
        uint32_t Name;
        bool Mipmaps;
        int32_t Filter;
    };
    const std::array<TShared, 4> table{{
        {"Loading detail texture...", ResolvePathIgnoringCase(gameDir, DetailTextureFile), TKind::Bitmap, names.DetailTexture,
         true, TexFilterLinearMipmapNearest},
        {"Loading skybox texture...", ResolvePathIgnoringCase(gameDir, SkyTextureFile), TKind::TGA, names.SkyTexture, false,
         TexFilterLinear},
        {"Loading water texture...", ResolvePathIgnoringCase(gameDir, WaterTextureFile), TKind::TGA, names.WaterTexture, true,
         TexFilterLinearMipmapNearest},
        {"Loading compass texture...", ResolvePathIgnoringCase(gameDir, CompassTextureFile), TKind::Bitmap,
         names.CompassTexture, false, TexFilterLinear},
    }};
    for (const TShared& shared : table) {
        Log(shared.LogLine);
        if (shared.Kind == TKind::Bitmap)
            LoadBitmapTextureFile(shared.Path, shared.Name, shared.Mipmaps, shared.Filter, TexWrapRepeat);
        else
            LoadTGATextureFile(shared.Path, shared.Name, shared.Mipmaps, shared.Filter, TexWrapRepeat);
        CheckGLError("");
    }
    Log("Loading checker terrain texture...");
    LoadCheckerTexture(checkerPaths, names.CheckerTexture);
    CheckGLError("");
}

}  // namespace orv
