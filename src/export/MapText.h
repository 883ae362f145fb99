// MapText: the labels of the zone map, drawn in a TrueType font that stb_truetype
// rasterises.
//
//   TMapFont font(MapFontFile);                 // "Cannot open file %s" when it is missing
//   TTextCoverage text = font.Render("8192", 16);
//   // text.Alpha: Width x Height coverage values 0..255, top row first
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// DejaVu Sans Bold, from Debian's fonts-dejavu-core.
// Found by the build; a relative path (the Windows build's) is looked for beside the program.
inline constexpr std::string_view MapFontFile = ORVANDEL_MAP_FONT;

struct TTextCoverage {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Alpha;
};

class TMapFont {
public:
    explicit TMapFont(const std::string& path);
    ~TMapFont();
    TMapFont(const TMapFont&) = delete;
    TMapFont& operator=(const TMapFont&) = delete;

    // One line of UTF-8 text, pixelHeight from the font's ascent to its descent; the box
    // is that high and as wide as the advances.
    TTextCoverage Render(std::string_view text, int pixelHeight) const;
    // The width Render gives the text, without drawing it.
    int Width(std::string_view text, int pixelHeight) const;

private:
    struct TFont;
    std::vector<uint8_t> m_Bytes;
    std::unique_ptr<TFont> m_Font;
};

}  // namespace orv
