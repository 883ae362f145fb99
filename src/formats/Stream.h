// Byte streams: every reader works on a seekable TStream.
//
//   TFileStream file(path, TFileMode::OpenRead);   // "Cannot open file <path>" on failure
//   TMemoryStream memory;
//   memory.CopyFrom(file, file.Size());
//   memory.SetPosition(0);
//
// Read returns the count delivered (fewer at the end); ReadBuffer and CopyFrom insist on
// the whole count and raise "Stream read error" when the source ends first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "base/platform/Files.h"

namespace orv {

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }
    // The size, found by seeking to the end and back.
    virtual int64_t Size();

    // Exact transfers: "Stream read error" / "Stream write error" when short.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source at its position (count 0 or less: the whole source
    // from 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_Data.size()); }

    void SetSize(int64_t size);
    // Room for `capacity` bytes without reallocating; size and position do not change.
    void Reserve(int64_t capacity);
    void Clear();
    uint8_t* Memory() { return m_Data.data(); }
    const uint8_t* Memory() const { return m_Data.data(); }
    const std::vector<uint8_t>& Bytes() const { return m_Data; }

private:
    std::vector<uint8_t> m_Data;
    int64_t m_Position = 0;
};

enum class TFileMode { OpenRead, OpenReadWrite, Create };

class TFileStream : public TStream {
public:
    // OpenRead / OpenReadWrite: "Cannot open file %s"; Create (create or truncate):
    // "Cannot create file %s", followed by the reason unless the file or its directory
    // does not exist (": Permission denied", " (a FIFO, not a regular file)").
    TFileStream(const std::string& path, TFileMode mode);
    // Writes (and reads) through a file the caller opened as it needed, which must outlive
    // the stream; the name is the file's, for messages.
    TFileStream(platform::TFile& file, std::string name) : m_FileName(std::move(name)), m_File(&file) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return m_FileName; }

private:
    std::string m_FileName;
    platform::TFile m_Own;
    platform::TFile* m_File = &m_Own;
};

// Whole-file helpers. WriteWholeFile writes under a temporary name beside the file and
// replaces the file at once, so that the path holds the old bytes or the new ones; only a
// regular file (or nothing) is replaced ("Cannot create file PATH (a FIFO, not a regular
// file)"). A file that cannot be written whole (a full disk) leaves nothing behind, and the
// error names it ("PATH: Stream write error (No space left on device)").
std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace orv
