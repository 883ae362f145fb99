// The few things the POSIX and the Windows half each provide to the shared code of Files.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orv::platform::half {

// The UTF-8 path as the standard library's path.
std::filesystem::path NativePath(const std::string& path);
// "." + a short name unique to this process and call, for a temporary file or directory.
std::string TemporaryName(std::string_view ending);
// Installs the handlers that remove the registered temporaries (once).
void InstallTemporaryCleanup();
// Removes a file, else an empty directory, calling only what a signal handler may call.
void RemoveInHandler(const char* path);
// Removes every registered temporary (Files.cpp); safe in a signal handler.
void RemoveTemporaries();

}  // namespace orv::platform::half
