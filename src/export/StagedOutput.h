// StagedOutput: output files that appear all at once or not at all.
//
//   TStagedOutput out("/maps/zone111.gltf");                 // a hidden stage beside it
//   out.Write("zone111.bin", bytes);                         // written into the stage
//   WriteSomething(out.Path("zone111.gltf"));                // or by another writer
//   out.Commit("zone111.gltf");                              // moved into /maps/
//
// Commit moves every staged file into the target's directory, the named main file last.
// Without Commit (an exception on the way) the stage and everything in it are removed,
// so that a failure leaves no partial output behind. Failures name the target file:
// "Cannot create file %s" when its directory cannot be written, "Cannot write file %s"
// when a file cannot be completed or moved into place.
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
};

}  // namespace orv
