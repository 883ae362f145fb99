// StagedOutput: output files that appear all at once or not at all.
//
//   TStagedOutput out("/maps/zone111.gltf");                 // a hidden stage beside it
//   out.Write("zone111.bin", bytes);                         // written into the stage
//   WriteSomething(out.Path("zone111.gltf"));                // or by another writer
//   out.Commit("zone111.gltf");                              // moved into /maps/
//
// Commit moves every staged file into the target's directory, the named main file last,
// each replacing a regular file of its name in one step. The files it replaces are kept in
// the stage until the end, so that a failed move puts every one of them back: a failure
// leaves the earlier output exactly as it was. Without Commit (an exception on the way,
// or Ctrl+C) the stage and everything in it are removed. Failures name the target file:
// "Cannot create file %s" when its directory cannot be written, "Cannot write file %s"
// when a file cannot be completed or moved into place, each followed by the reason; a
// directory, FIFO or device at an output's name is refused, never replaced.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class TStagedOutput {
public:
    explicit TStagedOutput(const std::string& target);
    ~TStagedOutput();
    TStagedOutput(const TStagedOutput&) = delete;
    TStagedOutput& operator=(const TStagedOutput&) = delete;

    // The target's directory ("." for a bare file name) and the target's file name.
    const std::string& Directory() const { return m_Directory; }
    const std::string& TargetName() const { return m_TargetName; }
    // Where a file of this name is staged.
    std::string Path(const std::string& name) const;
    void Write(const std::string& name, std::span<const uint8_t> bytes);
    void Commit(const std::string& mainName);

    // Raises "Cannot write file <target>/name" for a file of the stage, followed by ": "
    // and the cause when there is one.
    [[noreturn]] void FailWriting(const std::string& name, std::string_view cause = {}) const;

private:
    std::string m_Directory;
    std::string m_TargetName;
    std::string m_Stage;
    // The files of the stage as registered for removal on Ctrl+C.
    mutable std::vector<std::string> m_Registered;
};

}  // namespace orv
