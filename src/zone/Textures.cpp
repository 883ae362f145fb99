// Textures: the three uploads, the terrain tiles and the shared textures.
#include "zone/Textures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/Log.h"
#include "formats/DDSImage.h"
#include "formats/MPKFile.h"
#include "formats/Pictures.h"
#include "gl/GLCalls.h"
#include "gl/GLError.h"
#include "gl/GLext.h"
#include "zone/Zone.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

constexpr GLint MipmapComponents = 4;
constexpr GLint DefaultUnpackAlignment = 4;
constexpr int RGBAChannels = 4;

// The checker made in memory when no checker.bmp can be read: light and blue squares.
constexpr int MadeCheckerSize = 256;
constexpr int MadeCheckerSquare = 32;
constexpr std::array<uint8_t, 3> MadeCheckerLight{232, 232, 226};
constexpr std::array<uint8_t, 3> MadeCheckerDark{58, 104, 168};

// Where the texture's row 0 comes from: the picture's top row (TGA) or, as the bitmap
// stores it, its bottom row (BMP).
enum class TFirstRow { Top, Bottom };

// The picture's pixels into the bound texture; the picture's rows turned first when the
// texture starts at its bottom.
void UploadPicture(TImage& picture, uint32_t name, bool mipmaps, GLint internalFormat, TFirstRow firstRow)
{
    const size_t rowBytes = static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Channels);
    const auto height = static_cast<size_t>(picture.Height);
    uint8_t* const pixels = picture.Pixels.data();
    if (firstRow == TFirstRow::Bottom)
        for (size_t k = 0; k < height / 2; ++k)
            std::swap_ranges(pixels + k * rowBytes, pixels + (k + 1) * rowBytes, pixels + (height - 1 - k) * rowBytes);
    const GLenum format = picture.Channels == RGBAChannels ? GL_RGBA : GL_RGB;
    gl::glBindTexture(GL_TEXTURE_2D, name);
    // The picture's rows follow each other without padding, whatever the width.
    gl::glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mipmaps)
        gl::gluBuild2DMipmaps(GL_TEXTURE_2D, MipmapComponents, picture.Width, picture.Height, format,
                              GL_UNSIGNED_BYTE, pixels);
    else
        gl::glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, picture.Width, picture.Height, 0, format,
                         GL_UNSIGNED_BYTE, pixels);
    gl::glPixelStorei(GL_UNPACK_ALIGNMENT, DefaultUnpackAlignment);
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

TDecoded UploadDDSTexture(TStream& stream, uint32_t name, bool /*mipmaps: the top level only*/, int32_t filter,
                          int32_t wrap, const TImageLimits& limits)
{
    if (glext::glCompressedTexImage2D == nullptr)
        throw ETextureError("DDS texture cannot be uploaded without OpenGL 1.3");
    uint64_t bytes = 0;
    {
        TDDSImage image;
        // Every block the pixels touch: what the compressed upload takes.
        image.LoadFromStream(stream, limits, TDDSBlockCount::Covering);
        bytes = static_cast<uint64_t>(image.DataSize());
        gl::glBindTexture(GL_TEXTURE_2D, name);
        glext::glCompressedTexImage2D(GL_TEXTURE_2D, 0, image.GLFormat(), static_cast<GLsizei>(image.Width()),
                                      static_cast<GLsizei>(image.Height()), 0,
                                      static_cast<GLsizei>(image.DataSize()), image.Data());
    }
    SetTextureParameters(filter, wrap);
    CheckGLError("Loading DDS texture");
    return {bytes, ""};
}

TDecoded UploadTGATexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                          const TImageLimits& limits)
{
    TDecoded decoded;
    {
        TImage picture = DecodeTGAPicture(stream, limits);
        decoded = {picture.Pixels.size(), picture.Damage};
        UploadPicture(picture, name, mipmaps, GL_RGBA, TFirstRow::Top);
    }
    SetTextureParameters(filter, wrap);
    return decoded;
}

TDecoded UploadBitmapTexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                             const TImageLimits& limits)
{
    TDecoded decoded;
    {
        TImage picture = DecodeBitmapPicture(stream, limits);
        decoded = {picture.Pixels.size(), picture.Damage};
        UploadPicture(picture, name, mipmaps, GL_RGB8, TFirstRow::Bottom);
    }
    SetTextureParameters(filter, wrap);
    return decoded;
}

namespace {

using TUpload = TDecoded (*)(TStream&, uint32_t, bool, int32_t, int32_t, const TImageLimits&);

// Open, upload, close (also when the upload raises); errors and damage name the file.
void LoadTextureFile(TUpload upload, const std::string& path, uint32_t name, bool mipmaps, int32_t filter,
                     int32_t wrap)
{
    const TDecoded decoded = NamingFailures(path, "", [&] {
        TFileStream file(path, TFileMode::OpenRead);
        return upload(file, name, mipmaps, filter, wrap, {.MaxSide = MaxTextureSide()});
    });
    LogDamage(path, "", decoded.Damage);
}

}  // namespace

void LoadTGATextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap)
{
    LoadTextureFile(UploadTGATexture, path, name, mipmaps, filter, wrap);
}

void LoadBitmapTextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap)
{
    LoadTextureFile(UploadBitmapTexture, path, name, mipmaps, filter, wrap);
}

void LoadTerrainTextures(TMPKFile& archive, const TTerrainTextureTargets& targets)
{
    constexpr int side = PatchesPerSide;
    if (targets.TileTextures.size() < static_cast<size_t>(side * side))
        throw ETextureError("Terrain textures: fewer than 64 tile texture names");
    std::array<char, 64> line{};
    TTileLoader tiles(archive, MaxTextureSide());
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px) {
            std::snprintf(line.data(), line.size(), "Loading terrain texture (%d,%d)...", px, py);
            Log(line.data());
            const int tile = py * side + px;
            const uint32_t name = targets.TileTextures[tile];
            const std::string ddsName = TileMemberName(px, py);
            const std::string bmpName = TileBitmapMemberName(px, py);
            auto upload = [&](TUpload kind) {
                return [&, kind](TStream& member, const TImageLimits& limits) {
                    return kind(member, name, false, TexFilterLinear, TexWrapClamp, limits);
                };
            };
            bool withoutImage = false;
            if (tiles.HasDDS(px, py) && targets.DDSUploads) {
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = true;
                tiles.Read(ddsName, upload(UploadDDSTexture));
            } else if (tiles.HasDDS(px, py) && !tiles.HasBitmap(px, py)) {
                // A DDS tile without the compressed upload and without an alternative.
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = true;
                Log("No OpenGL 1.3 support: " + ddsName + " not uploaded, the tile is drawn with the checker texture");
                withoutImage = true;
            } else {
                if (tiles.HasDDS(px, py))
                    Log("No OpenGL 1.3 support: " + ddsName + " not uploaded, " + bmpName + " used instead");
                if (targets.TilesAreDDS)
                    *targets.TilesAreDDS = false;
                tiles.Read(bmpName, upload(UploadBitmapTexture));
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
