// Fuzz target of TMPKFile: the input is written to a temporary file of this process,
// opened as an archive, and every member (up to a cap) is looked up and extracted.
//
// Extraction output goes to a sink that stops each member after 1 MiB, so a member that
// inflates enormously costs no more than that.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/MPKFile.h"
#include "formats/zlib2.h"

namespace {

using namespace orv;

constexpr int MaxMembers = 64;
constexpr int64_t MaxBytesPerMember = 1 << 20;

struct TSinkFull {};

// Counts what it is given and throws TSinkFull past its cap.
class TCappedSink : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override
    {
        m_Size += count;
        if (m_Size > MaxBytesPerMember)
            throw TSinkFull{};
        return count;
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return m_Size; }

private:
    int64_t m_Size = 0;
};

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

const std::string& ScratchPath()
{
    static const std::string path = "/tmp/fuzz_mpk_" + std::to_string(::getpid()) + ".mpk";
    return path;
}

void Exercise(TMPKFile& archive)
{
    const auto& directory = archive.Directory();
    Require(archive.Loaded());
    for (int i = 0; i < directory.Count() && i < MaxMembers; ++i) {
        const std::string name = directory.Items(i).Name;
        const int index = directory.IndexOf(name);
        Require(index >= 0 && index <= i);
        try {
            if (i == 0) {
                // The one member taken whole into memory: small input, bounded output.
                const auto memory = archive.ExtractToMemory(name);
                Require(memory->Position() == 0);
            } else {
                TCappedSink sink;
                archive.ExtractToStream(name, sink);
            }
        } catch (const TSinkFull&) {
        } catch (const Exception&) {
        }
    }
    try {
        TCappedSink sink;
        archive.ExtractToStream("no such member\x01", sink);
        Require(directory.Exists("no such member\x01"));
    } catch (const EMPKError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = ScratchPath();
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
        std::fclose(file);
        if (!written)
            return 0;
    } else {
        return 0;
    }
    try {
        TMPKFile archive(path);
        Exercise(archive);
    } catch (const Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
