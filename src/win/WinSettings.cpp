#include "WinSettings.h"

#include <windows.h>

#include "base/platform/Files.h"

namespace orv::win {
namespace {

constexpr const wchar_t* ProgramKey = L"Software\\Orvandel";
constexpr const wchar_t* StateKey = L"Software\\Orvandel\\State";
constexpr const wchar_t* GameDirValue = L"GameDir";
constexpr const wchar_t* GeometryValue = L"Geometry";

std::optional<std::string> Read(const wchar_t* key, const std::wstring& name)
{
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return platform::Narrow(text.c_str(), wcslen(text.c_str()));
}

void Write(const wchar_t* key, const std::wstring& name, const std::string& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring text = platform::Wide(value);
    RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

}  // namespace

std::optional<std::string> RememberedGameDir() { return Read(ProgramKey, GameDirValue); }

void RememberGameDir(const std::string& gameDir) { Write(ProgramKey, GameDirValue, gameDir); }

std::optional<std::string> RememberedValue(const std::string& name) { return Read(StateKey, platform::Wide(name)); }

void RememberValue(const std::string& name, const std::string& value) { Write(StateKey, platform::Wide(name), value); }

std::optional<std::string> RememberedGeometry() { return Read(ProgramKey, GeometryValue); }

void RememberGeometry(const std::string& geometry) { Write(ProgramKey, GeometryValue, geometry); }

void ForgetValues()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, StateKey);
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, GeometryValue);
        RegCloseKey(handle);
    }
}

}  // namespace orv::win
