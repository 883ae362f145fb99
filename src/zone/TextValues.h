// TextValues: integers and comma-separated lists as the zone files and the location box
// write them.
//
//   StrToInt(" -12")        -> -12        StrToInt("$ff"), StrToInt("0xFF") -> 255
//   StrToIntDef("abc", 7)   -> 7
//   SplitCommaText("10, 20 \"3 0\"")  -> {"10", "20", "3 0"}
//   CommaField("10 20", 1)  -> 20
//
// Integer syntax: optional leading blanks, an optional sign, then decimal digits or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") with hexadecimal digits, nothing after.
// Decimal values must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits
// (0xFFFFFFFF is -1). Anything else raises EConvertError "'%s' is not a valid integer
// value" with the text.
//
// Lists: items are separated by commas or by runs of blanks (any character up to the
// space); blanks around items are skipped; an item in double quotes may hold commas and
// blanks, and a doubled quote inside it stands for one quote. Two commas in a row, or a
// comma at the end, give an empty item.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

std::optional<int32_t> TryStrToInt(std::string_view text);
int32_t StrToInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

std::vector<std::string> SplitCommaText(std::string_view text);

// Item `index` of a list, by index into a split list: EListError "List index out of
// bounds (%d)" when there is no such item.
const std::string& ListItem(const std::vector<std::string>& items, int index);
// Item `index` (from 0) of the list `text`, converted strictly.
int32_t CommaField(std::string_view text, int index);

}  // namespace orv
