// Textures: filling the viewer's OpenGL textures with their images.
//
// Three uploads, one per image kind, share one parameter set (mipmaps, minification
// filter, wrap); the terrain tiles come from the zone's texture archive, the five shared
// textures from plain files. Every call needs a current OpenGL context.
//
//   UploadBitmapTexture(stream, name, /*mipmaps*/ false, GL_LINEAR, GL_CLAMP);
//   LoadTerrainTextures(archive, {tileNames, ddsUploads, tilesAreDDS, tileWithoutImage});
//   LoadSharedTextures(gameDir, names);
//
// Errors of the readers propagate as exceptions that name the file (and the archive
// member); OpenGL errors are only logged (CheckGLError, gl/GLError.h).
//
// Memory: no image larger than the driver's largest texture is decoded, and the 64 tiles
// of a zone take at most TileTextureBudget of decoded image bytes (the readers refuse
// the tile that would pass it, before decoding it).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/ImageLimits.h"
#include "formats/Stream.h"
#include "zone/TextureImages.h"

namespace orv {

class TMPKFile;

// OpenGL enumerants of the upload parameters.
constexpr int32_t TexFilterLinear = 0x2601;               // GL_LINEAR
constexpr int32_t TexFilterLinearMipmapNearest = 0x2701;  // GL_LINEAR_MIPMAP_NEAREST
constexpr int32_t TexWrapClamp = 0x2900;                  // GL_CLAMP
constexpr int32_t TexWrapRepeat = 0x2901;                 // GL_REPEAT

class ETextureError : public EFormatError { using EFormatError::EFormatError; };

// The last step of every upload: wrap s and t, minification filter, magnification
// filter (GL_LINEAR for a mipmap filter).
void SetTextureParameters(int32_t filter, int32_t wrap);

// The largest texture side the driver takes (GL_MAX_TEXTURE_SIZE); no limit when it
// does not say.
uint64_t MaxTextureSide();

// The stream holds one image at its position; each returns the bytes of the decoded
// image, which the limits bound (as ImageLimits.h says), and its damage. The TGA and BMP
// uploads take the picture's plain pixels (formats/Pictures.h); the DDS upload hands
// over its blocks as stored, ignores mipmaps and needs the OpenGL 1.3 entry points
// (glext::LoadGL13).
TDecoded UploadDDSTexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                          const TImageLimits& limits = {});
TDecoded UploadTGATexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                          const TImageLimits& limits = {});
TDecoded UploadBitmapTexture(TStream& stream, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap,
                             const TImageLimits& limits = {});
// Open the file ("Cannot open file %s"), upload, close (also when the upload raises);
// errors name the file, and a damaged picture is logged naming it.
void LoadTGATextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap);
void LoadBitmapTextureFile(const std::string& path, uint32_t name, bool mipmaps, int32_t filter, int32_t wrap);

struct TTerrainTextureTargets {
    std::span<const uint32_t> TileTextures;   // at least 64 names, tile px + 8 py
    bool DDSUploads = true;                   // false without the OpenGL 1.3 entry points
    bool* TilesAreDDS = nullptr;              // the kind of the last tile loaded
    std::span<bool> TileWithoutImage;         // 64 flags: the tile could not be given an image
};

// The 64 tiles of an open texture archive, row py outer, column px inner: the DDS
// member, else its ".bmp" alternative. Without DDS uploads a DDS tile takes its BMP
// alternative when the archive has one, otherwise it is left without an image. Each
// member is read as it inflates (the mipmaps after a DDS tile's top level never are);
// errors name the archive and the member.
void LoadTerrainTextures(TMPKFile& archive, const TTerrainTextureTargets& targets);

struct TSharedTextureNames {
    uint32_t DetailTexture = 0, SkyTexture = 0, WaterTexture = 0, CompassTexture = 0, CheckerTexture = 0;
};

// The checker terrain texture from the first of checkerPaths that can be read; when none
// can (or there is none), a checker made in memory, so that this step never fails. Each
// path that fails is logged with its error.
void LoadCheckerTexture(std::span<const std::string> checkerPaths, uint32_t name);

// Detail, sky, water, compass and checker texture, each logged and checked; the first of
// the four game files that cannot be opened raises and leaves the rest without an image.
// Paths under the game directory are found ignoring letter case; the checker texture is
// loaded as LoadCheckerTexture does.
void LoadSharedTextures(const std::string& gameDir, const TSharedTextureNames& names,
                        std::span<const std::string> checkerPaths);

}  // namespace orv
