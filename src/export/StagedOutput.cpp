// StagedOutput: a private directory beside the target, renamed out of file by file.
#include "export/StagedOutput.h"

#include <algorithm>

#include "base/platform/Files.h"
#include "formats/Stream.h"

namespace orv {

namespace {

// What a file replaced by Commit is called in the stage until the commit is over.
std::string Previous(const std::string& name) { return name + ".previous"; }

}  // namespace

TStagedOutput::TStagedOutput(const std::string& target)
{
    m_TargetName = platform::NameOf(target);
    m_Directory = platform::DirectoryOf(target);
    if (m_TargetName.empty() || m_TargetName == "." || m_TargetName == "..")
        throw EFCreateError("Cannot create file " + target);
    const platform::TFileKind kind = platform::KindOf(target, true);
    if (kind != platform::TFileKind::Missing && kind != platform::TFileKind::Regular)
        throw EFCreateError("Cannot create file " + target + platform::TError{0, kind}.Detail());
    platform::TError error;
    m_Stage = platform::MakeTemporaryDirectory(m_Directory, m_TargetName, error);
    if (error)
        throw EFCreateError("Cannot create file " + target + error.Detail());
}

TStagedOutput::~TStagedOutput()
{
    platform::RemoveTree(m_Stage);
    for (const std::string& path : m_Registered)
        platform::UnregisterTemporary(path);
    platform::UnregisterTemporary(m_Stage);
}

std::string TStagedOutput::Path(const std::string& name) const
{
    std::string path = platform::JoinPath(m_Stage, name);
    if (std::find(m_Registered.begin(), m_Registered.end(), path) == m_Registered.end()) {
        platform::RegisterTemporary(path);
        m_Registered.push_back(path);
    }
    return path;
}

void TStagedOutput::FailWriting(const std::string& name, std::string_view cause) const
{
    std::string message = "Cannot write file " + platform::JoinPath(m_Directory, name);
    if (!cause.empty())
        message.append(": ").append(cause);
    throw EWriteError(message);
}

void TStagedOutput::Write(const std::string& name, std::span<const uint8_t> bytes)
{
    try {
        TFileStream file(Path(name), TFileMode::Create);
        file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    } catch (const EWriteError& e) {
        FailWriting(name, e.Message());   // "Stream write error (No space left on device)"
    } catch (const EStreamError&) {
        FailWriting(name);                // the stage's own name would mean nothing to the user
    }
}

void TStagedOutput::Commit(const std::string& mainName)
{
    std::vector<std::string> names;
    for (const std::string& name : platform::DirectoryEntries(m_Stage))
        if (name != mainName)
            names.push_back(name);
    names.push_back(mainName);
    // Nothing is moved while any output's name holds something that is not a file.
    for (const std::string& name : names) {
        const platform::TFileKind kind = platform::KindOf(platform::JoinPath(m_Directory, name), true);
        if (kind != platform::TFileKind::Missing && kind != platform::TFileKind::Regular)
            throw EWriteError("Cannot write file " + platform::JoinPath(m_Directory, name) +
                              platform::TError{0, kind}.Detail());
    }
    struct TMoved {
        std::string Name;
        bool Replaced;   // an earlier file of the name waits in the stage
    };
    std::vector<TMoved> moved;
    // Puts back what the moves so far replaced, the last first.
    auto undo = [&] {
        for (auto done = moved.rbegin(); done != moved.rend(); ++done) {
            const std::string target = platform::JoinPath(m_Directory, done->Name);
            if (done->Replaced)
                platform::ReplaceFile(Path(Previous(done->Name)), target);
            else
                platform::RemoveFile(target);
        }
    };
    for (const std::string& name : names) {
        const std::string target = platform::JoinPath(m_Directory, name);
        const bool replaces = platform::KindOf(target) != platform::TFileKind::Missing;
        platform::TError error;
        if (replaces)
            error = platform::ReplaceFile(target, Path(Previous(name)));
        if (!error) {
            error = platform::ReplaceFile(Path(name), target);
            if (error && replaces)
                platform::ReplaceFile(Path(Previous(name)), target);
        }
        if (error) {
            undo();
            FailWriting(name, error.Reason());
        }
        moved.push_back({name, replaces});
    }
}

}  // namespace orv
