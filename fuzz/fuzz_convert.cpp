// Fuzz target: orvandel-tool convert's reading and writing: the file's kind told by its
// head and its name's extension, the picture decoded as convert decodes it, then encoded
// as PNG in memory.
//
// The input's first byte picks the file name's extension (taken modulo 4: .tga, .bmp,
// .dds, .pcx, as the seeds' writer numbers them); the rest is the file. What convert
// reports as an error is no finding: an orv::Exception from the readers or a
// std::runtime_error (the tool's FileError, a refusal of the PNG encoder).
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "tool/ImageDecoding.h"
#include "writers/PNG.h"

namespace {

const std::array<std::string, 4> Names = {"image.tga", "image.bmp", "image.dds", "image.pcx"};
constexpr int BitDepth = 8;

// Keeps the result from being optimised away.
volatile size_t Sink = 0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string& name = Names[data[0] % Names.size()];
    orv::TMemoryStream source;
    FillStream(source, data + 1, size - 1);
    try {
        const orv::TImage image = orvtool::DecodeImage(source, name);
        if ((image.Channels != 3 && image.Channels != 4) ||
            image.Pixels.size() != size_t(image.Width) * size_t(image.Height) * size_t(image.Channels))
            __builtin_trap();
        const std::vector<uint8_t> png =
            orv::EncodePNG(image.Width, image.Height, image.Channels, BitDepth, image.Pixels);
        Sink = png.size();
    } catch (const orv::Exception&) {
    } catch (const std::runtime_error&) {
    }
    return 0;
}
