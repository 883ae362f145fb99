// Bitmap: Windows BMP files decoded to 24-bit pixels.
//
//   TBitmap bitmap;
//   bitmap.LoadFromStream(stream);   // EBitmapError says what is wrong or unsupported
//   upload(bitmap.Width(), bitmap.Height(), bitmap.Pixels());   // B,G,R rows, bottom first
//
// Reads the core (12-byte), info (40-byte), 52/56-byte and V4/V5 (108/124-byte) headers;
// 1, 4, 8, 16, 24 and 32 bits per pixel; uncompressed, RLE4, RLE8 and bit-field data;
// bottom-up and top-down rows. The result is blue, green, red, bottom row first, each
// row padded to 4 bytes: the layout OpenGL's default unpack alignment reads. Alpha is
// dropped. Pixels that run-length data leaves out are black; CutShort() tells when that
// is because the file ended before its data did.
//
// Only as much of the stream is read as the header says the image can use (an
// uncompressed image its rows; run-length data two bytes per pixel and per line at
// most), so a bitmap may stand at the start of any stream. The decoded image is bounded
// as ImageLimits.h says; errors do not name the file (its caller does).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "formats/ImageLimits.h"
#include "formats/Stream.h"

namespace orv {

class EBitmapError : public EFormatError { using EFormatError::EFormatError; };

// Byte offsets of the file header and of the DIB headers' fields (little-endian).
namespace BMPHeader {
constexpr size_t FileSize = 2;
constexpr size_t PixelDataOffset = 10;
constexpr size_t FileHeaderSize = 14;    // the DIB header follows
constexpr size_t HeaderSize = 14;        // the DIB header's first word: its own size
// Core (12-byte) header, from the start of the file.
constexpr size_t CoreWidth = 18, CoreHeight = 20, CoreBitsPerPixel = 24;
// Info (40-byte and longer) headers, from the start of the file.
constexpr size_t Width = 18, Height = 22, BitsPerPixel = 28, Compression = 30, ImageSize = 34, ColorsUsed = 46;
constexpr size_t Masks = 54;             // red, green, blue (and alpha) masks after a 40-byte header
}  // namespace BMPHeader

class TBitmap {
public:
    // Reads one BMP file from the stream's position.
    void LoadFromStream(TStream& source, const TImageLimits& limits = {});

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    int RowBytes() const { return (m_Width * 3 + 3) & ~3; }
    // Bottom row first.
    const uint8_t* Pixels() const { return m_Pixels.data(); }
    const std::vector<uint8_t>& PixelBytes() const { return m_Pixels; }
    // Facts of the file as read, for the tools.
    int BitsPerPixel() const { return m_BitsPerPixel; }
    int Compression() const { return m_Compression; }
    int HeaderSize() const { return m_HeaderSize; }
    bool TopDown() const { return m_TopDown; }
    bool CutShort() const { return m_CutShort; }
    // The pixels, leaving the bitmap empty.
    std::vector<uint8_t> TakePixels() { return std::move(m_Pixels); }

private:
    int m_Width = 0;
    int m_Height = 0;
    int m_BitsPerPixel = 0;
    int m_Compression = 0;
    int m_HeaderSize = 0;
    bool m_TopDown = false;
    bool m_CutShort = false;
    std::vector<uint8_t> m_Pixels;
};

}  // namespace orv
