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
// dropped. Pixels that run-length data leaves out are black.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/Stream.h"

namespace orv {

class EBitmapError : public EFormatError { using EFormatError::EFormatError; };

class TBitmap {
public:
    // Reads one BMP file from the stream's position to its end.
    void LoadFromStream(TStream& source);

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

private:
    int m_Width = 0;
    int m_Height = 0;
    int m_BitsPerPixel = 0;
    int m_Compression = 0;
    int m_HeaderSize = 0;
    bool m_TopDown = false;
    std::vector<uint8_t> m_Pixels;
};

}  // namespace orv
