// StagedOutput: a private directory beside the target, renamed out of file by file.
#include "export/StagedOutput.h"

#include <stdlib.h>

#include <filesystem>

#include "formats/Stream.h"

namespace orv {

namespace fs = std::filesystem;

TStagedOutput::TStagedOutput(const std::string& target)
{
    const fs::path path(target);
    m_TargetName = path.filename().string();
    m_Directory = path.has_parent_path() ? path.parent_path().string() : std::string(".");
    if (m_TargetName.empty() || m_TargetName == "." || m_TargetName == "..")
        throw EFCreateError("Cannot create file " + target);
    std::string stage = (fs::path(m_Directory) / ("." + m_TargetName + ".partial-XXXXXX")).string();
    if (::mkdtemp(stage.data()) == nullptr)
        throw EFCreateError("Cannot create file " + target);
    m_Stage = stage;
}

TStagedOutput::~TStagedOutput()
{
    std::error_code ignored;
    fs::remove_all(m_Stage, ignored);
}

std::string TStagedOutput::Path(const std::string& name) const { return (fs::path(m_Stage) / name).string(); }

void TStagedOutput::FailWriting(const std::string& name, std::string_view cause) const
{
    std::string message = "Cannot write file " + (fs::path(m_Directory) / name).string();
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
    for (const auto& entry : fs::directory_iterator(m_Stage))
        if (entry.path().filename() != mainName)
            names.push_back(entry.path().filename().string());
    names.push_back(mainName);
    std::vector<std::string> moved;
    for (const std::string& name : names) {
        std::error_code error;
        const fs::path target = fs::path(m_Directory) / name;
        fs::rename(Path(name), target, error);
        if (error) {
            const std::string cause = error.message();
            // What came before the failure goes again: all or nothing.
            for (const std::string& done : moved)
                fs::remove(fs::path(m_Directory) / done, error);
            FailWriting(name, cause);
        }
        moved.push_back(name);
    }
}

}  // namespace orv
