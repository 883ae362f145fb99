// MapText: glyph by glyph at sub-pixel positions, the coverage of overlapping glyphs
// combined by taking the larger value.
#include "export/MapText.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>

#include "base/platform/Files.h"
#include "formats/Stream.h"

namespace orv {

struct TMapFont::TFont {
    stbtt_fontinfo Info{};
};

TMapFont::TMapFont(const std::string& path)
    : m_Bytes(ReadWholeFile(platform::IsAbsolutePath(path) ? path : platform::JoinPath(platform::ProgramFolder(), path))),
      m_Font(std::make_unique<TFont>())
{
    if (m_Bytes.empty() || stbtt_InitFont(&m_Font->Info, m_Bytes.data(), stbtt_GetFontOffsetForIndex(m_Bytes.data(), 0)) == 0)
        throw EFormatError(path + ": not a TrueType font");
}

TMapFont::~TMapFont() = default;

namespace {

// The characters of UTF-8 text (a folder name on the map); a byte that does not start a
// well-formed sequence stands for the Latin-1 character of its value.
std::vector<int> CodePoints(std::string_view text)
{
    std::vector<int> out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 && lead < 0xF0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 1;
        int c = length == 1 ? lead : lead & (0x7F >> length);
        size_t k = 1;
        for (; k < length && i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (k < length) {   // cut short
            c = lead;
            k = 1;
        }
        out.push_back(c);
        i += k;
    }
    return out;
}

// Where each character starts, and where the last one ends, in pixels.
std::vector<float> PenPositions(const stbtt_fontinfo* font, const std::vector<int>& text, float scale)
{
    std::vector<float> pen{0.0f};
    for (size_t i = 0; i < text.size(); ++i) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(font, text[i], &advance, &bearing);
        float x = pen.back() + advance * scale;
        if (i + 1 < text.size())
            x += scale * static_cast<float>(stbtt_GetCodepointKernAdvance(font, text[i], text[i + 1]));
        pen.push_back(x);
    }
    return pen;
}

}  // namespace

int TMapFont::Width(std::string_view text, int pixelHeight) const
{
    const float scale = stbtt_ScaleForPixelHeight(&m_Font->Info, static_cast<float>(pixelHeight));
    return static_cast<int>(std::ceil(PenPositions(&m_Font->Info, CodePoints(text), scale).back()));
}

TTextCoverage TMapFont::Render(std::string_view text, int pixelHeight) const
{
    const stbtt_fontinfo* font = &m_Font->Info;
    const float scale = stbtt_ScaleForPixelHeight(font, static_cast<float>(pixelHeight));
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(font, &ascent, &descent, &lineGap);
    const int baseline = static_cast<int>(std::lround(ascent * scale));
    const std::vector<int> characters = CodePoints(text);
    const std::vector<float> pen = PenPositions(font, characters, scale);

    TTextCoverage out;
    out.Width = static_cast<int>(std::ceil(pen.back()));
    out.Height = pixelHeight;
    out.Alpha.assign(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height), 0);

    std::vector<uint8_t> glyph;
    for (size_t i = 0; i < characters.size(); ++i) {
        const int c = characters[i];
        const float x = pen[i];
        const float shift = x - std::floor(x);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(font, c, scale, scale, shift, 0.0f, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            glyph.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
            stbtt_MakeCodepointBitmapSubpixel(font, glyph.data(), w, h, w, scale, scale, shift, 0.0f, c);
            const int left = static_cast<int>(std::floor(x)) + x0, top = baseline + y0;
            for (int gy = 0; gy < h; ++gy)
                for (int gx = 0; gx < w; ++gx) {
                    const int px = left + gx, py = top + gy;
                    if (px < 0 || py < 0 || px >= out.Width || py >= out.Height)
                        continue;
                    uint8_t& a = out.Alpha[static_cast<size_t>(py) * static_cast<size_t>(out.Width) + static_cast<size_t>(px)];
                    a = std::max(a, glyph[static_cast<size_t>(gy) * static_cast<size_t>(w) + static_cast<size_t>(gx)]);
                }
        }
    }
    return out;
}

}  // namespace orv
