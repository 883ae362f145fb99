// WinSettings: what the Windows viewer keeps between runs, in the registry under
// HKCU\Software\Orvandel: the value "GameDir" (the folder chosen last), the key "State"
// with one value per name the session keeps, and "Geometry" (the window's place).
//
//   RememberValue("Zone", "111");
//   std::optional<std::string> zone = RememberedValue("Zone");
#pragma once

#include <optional>
#include <string>

namespace orv::win {

std::optional<std::string> RememberedGameDir();
void RememberGameDir(const std::string& gameDir);
std::optional<std::string> RememberedValue(const std::string& name);
void RememberValue(const std::string& name, const std::string& value);
// The window's place as WINDOWPLACEMENT's fields in text; nothing when none is kept.
std::optional<std::string> RememberedGeometry();
void RememberGeometry(const std::string& geometry);
// Forgets the state and the geometry; the game folder stays.
void ForgetValues();

}  // namespace orv::win
