// Settings: what the viewer remembers between runs: the game folder chosen last, the
// state the viewer was left in (values under keys the session names, in the group
// "State") and the window's geometry, kept with QSettings under the organisation "Orvandel" and the application
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

#include <QByteArray>

namespace orv {

inline constexpr const char* OrganizationName = "Orvandel";
inline constexpr const char* ApplicationName = "orvandel";

void SetApplicationNames();
std::optional<std::string> RememberedGameDir();
void RememberGameDir(const std::string& gameDir);
std::optional<std::string> RememberedValue(const std::string& key);
void RememberValue(const std::string& key, const std::string& value);
// Forgets the state and the geometry; the game folder stays.
void ForgetValues();
QByteArray RememberedGeometry();
void RememberGeometry(const QByteArray& geometry);

}  // namespace orv
