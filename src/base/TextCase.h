// TextCase: letter case folded the way the game's file and key names are compared.
//
//   SameTextIgnoringCase("TERRAIN.PCX", "terrain.pcx")   // true
//   FoldCase("River00")                                  // "river00": a key for a map
//   FoldedExtension("zones/sky/WISPS.TGA")               // ".tga"
//
// ASCII and Latin-1 letters are folded to lower case (0xC0..0xDE to 0xE0..0xFE, except
// the multiplication sign 0xD7); every other byte, UTF-8 included, must match exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// Lower case of an ASCII or Latin-1 letter; every other byte unchanged.
constexpr uint8_t FoldCase(uint8_t c)
{
    constexpr uint8_t CaseBit = 0x20;
    constexpr uint8_t Latin1UpperFirst = 0xC0, Latin1UpperLast = 0xDE, Multiplication = 0xD7;
    if ((c >= 'A' && c <= 'Z') || (c >= Latin1UpperFirst && c <= Latin1UpperLast && c != Multiplication))
        return static_cast<uint8_t>(c | CaseBit);
    return c;
}

std::string FoldCase(std::string_view text);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// The extension of a path's file name with its dot, folded ("" when it has none).
std::string FoldedExtension(std::string_view path);

}  // namespace orv
