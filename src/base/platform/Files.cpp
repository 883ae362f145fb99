// Files, the part both halves share: texts, the atomic file and the temporaries' registry.
#include "base/platform/Files.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/platform/Half.h"

namespace orv::platform {

std::string_view KindText(TFileKind kind)
{
    switch (kind) {
    case TFileKind::Missing: return "nothing";
    case TFileKind::Regular: return "a file";
    case TFileKind::Directory: return "a directory";
    case TFileKind::Link: return "a symbolic link";
    case TFileKind::Fifo: return "a FIFO";
    case TFileKind::Socket: return "a socket";
    case TFileKind::Device: return "a device";
    }
    return "a device";
}

std::string TError::Text() const
{
    if (Refused != TFileKind::Missing)
        return std::string(KindText(Refused)).append(", not a regular file");
    return Reason();
}

std::string TError::Detail() const
{
    if (Refused != TFileKind::Missing)
        return " (" + Text() + ")";
    if (Code == 0 || NotFound())
        return {};
    return ": " + Reason();
}

TFile::TFile(TFile&& other) noexcept : m_Handle(std::exchange(other.m_Handle, -1)) {}

TFile& TFile::operator=(TFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

TError CreateDirectories(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(half::NativePath(path), error);
    return TError{error.value()};
}

void RemoveTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(half::NativePath(path), ignored);
}

// --- TAtomicFile ----------------------------------------------------------------------

TAtomicFile::~TAtomicFile() { Discard(); }

TError TAtomicFile::Begin(const std::string& target)
{
    if (const TFileKind kind = KindOf(target, true); kind != TFileKind::Missing && kind != TFileKind::Regular)
        return TError{0, kind};
    Discard();
    TError error;
    m_OwnDirectory = TDirectory::Open(DirectoryOf(target), error);
    if (error)
        return error;
    return Begin(m_OwnDirectory, NameOf(target));
}

TError TAtomicFile::Begin(const TDirectory& directory, const std::string& name)
{
    Discard();
    m_Directory = &directory;
    m_Target = name;
    // Each try is a fresh name; another process would have to take them all first.
    constexpr int Tries = 1000;
    TError error;
    for (int tries = 0; tries < Tries; ++tries) {
        m_Temporary = half::TemporaryName(".part");
        m_Registered = JoinPath(directory.Path(), m_Temporary);
        RegisterTemporary(m_Registered);
        m_File = directory.CreateExclusive(m_Temporary, error);
        if (!error)
            return {};
        UnregisterTemporary(m_Registered);
        m_Registered.clear();
        if (!error.AlreadyExists())
            break;
    }
    m_Directory = nullptr;
    return error;
}

TError TAtomicFile::Commit()
{
    TError error = m_File.Close();
    if (!error && m_Directory == &m_OwnDirectory) {
        // Whatever came to stand at the target since Begin is judged again.
        if (const TFileKind kind = KindOf(JoinPath(m_OwnDirectory.Path(), m_Target), true);
            kind != TFileKind::Missing && kind != TFileKind::Regular)
            error = TError{0, kind};
    }
    if (!error)
        error = m_Directory->Rename(m_Temporary, m_Target);
    if (error) {
        Discard();
        return error;
    }
    UnregisterTemporary(m_Registered);
    m_Registered.clear();
    m_Directory = nullptr;
    return {};
}

void TAtomicFile::Discard()
{
    m_File.Close();
    if (m_Directory != nullptr)
        m_Directory->Remove(m_Temporary);
    if (!m_Registered.empty())
        UnregisterTemporary(m_Registered);
    m_Registered.clear();
    m_Directory = nullptr;
}

// --- the temporaries' registry ----------------------------------------------------------

namespace {

// Copies of the registered paths; a signal handler reads them without locking, so a slot
// holds either nothing or a complete path.
constexpr size_t Slots = 256;
std::array<std::atomic<char*>, Slots> g_Temporaries{};
std::mutex g_RegistryLock;

}  // namespace

void RegisterTemporary(const std::string& path)
{
    static std::once_flag installed;
    std::call_once(installed, half::InstallTemporaryCleanup);
    char* copy = new char[path.size() + 1];
    std::memcpy(copy, path.c_str(), path.size() + 1);
    const std::lock_guard lock(g_RegistryLock);
    for (auto& slot : g_Temporaries) {
        if (slot.load() == nullptr) {
            slot.store(copy);
            return;
        }
    }
    delete[] copy;   // more at once than any command makes: this one is left to its owner
}

void UnregisterTemporary(const std::string& path)
{
    const std::lock_guard lock(g_RegistryLock);
    for (auto& slot : g_Temporaries) {
        char* held = slot.load();
        if (held != nullptr && path == held) {
            slot.store(nullptr);
            delete[] held;
            return;
        }
    }
}

namespace half {

void RemoveTemporaries()
{
    // Two rounds: the files, then the directories they were in.
    for (int round = 0; round < 2; ++round)
        for (auto& slot : g_Temporaries)
            if (const char* path = slot.load())
                RemoveInHandler(path);
}

}  // namespace half
}  // namespace orv::platform
