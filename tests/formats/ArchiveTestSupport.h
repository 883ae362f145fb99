// Helpers shared by the stream, inflate and archive tests: a private scratch directory
// per test, deterministic sample data and zlib compression done straight with zlib.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "TestSystem.h"

namespace orv::test {

// A fresh directory under the system's temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir() : m_Path(MakeScratchDirectory("orvandel-formats")) {}
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (m_Path / name).string(); }
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

// Text-like bytes: words from a small vocabulary, so zlib compresses them well but not
// trivially. Deterministic for a given seed.
inline std::vector<uint8_t> SampleText(size_t size, uint32_t seed = 1)
{
    static const char* const Words[] = {"zone ", "terrain ", "water ", "sky ", "tile ", "height ",
                                        "offset ", "sector ", "river\n", "lake ", "0x7f ", "\x01\xff "};
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const std::string word = Words[random() % std::size(Words)];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

// Bytes zlib cannot shrink.
inline std::vector<uint8_t> SampleNoise(size_t size, uint32_t seed = 2)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> out(size);
    for (auto& byte : out)
        byte = static_cast<uint8_t>(random());
    return out;
}

inline std::vector<uint8_t> Compress(std::span<const uint8_t> data, int level = 9)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

inline std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::span<const uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace orv::test
