// Settings: the one thing the viewer remembers between runs, the game folder chosen
// last, kept with QSettings under the organisation "Orvandel" and the application
// "orvandel" (on Linux ~/.config/Orvandel/orvandel.conf).
//
//   SetApplicationNames();                      // once, after the application exists
//   RememberGameDir("/games/isles/");           // after the user chose a folder
//   std::optional<std::string> dir = RememberedGameDir();
//
// Tests point QSettings at a folder of their own (QSettings::setPath) before any call.
#pragma once

#include <optional>
#include <string>

namespace orv {

inline constexpr const char* OrganizationName = "Orvandel";
inline constexpr const char* ApplicationName = "orvandel";

void SetApplicationNames();
std::optional<std::string> RememberedGameDir();
void RememberGameDir(const std::string& gameDir);

}  // namespace orv
