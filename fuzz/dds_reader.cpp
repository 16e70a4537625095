// The DDS reader (strict and lenient) and the DXT3 decoder on any bytes.
#include "codec/dds.h"
#include "codec/dxt3.h"
#include "codec/image.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lnd;
    std::vector<std::uint8_t> bytes(data, data + size);
    DdsImage image;
    if (decodeDds(bytes, image)) {
        if (image.data.size() != ddsDataBytes(image.kind, std::uint32_t(image.width), std::uint32_t(image.height)))
            std::abort();
        if (image.kind == DdsKind::Dxt3 && image.width % 4 == 0 && image.height % 4 == 0) {
            std::vector<std::uint8_t> pixels(std::size_t(image.width) * std::size_t(image.height) * 4);
            decodeDxt3Image(image.data.data(), image.width, image.height, pixels.data(), std::size_t(image.width) * 4);
        }
        // What the reader accepts, the writer must write back the same.
        if (encodeDds(image).empty()) std::abort();
    }
    DdsLevel level;
    if (locateDdsLevel(bytes.data(), bytes.size(), kMaxImageSide, level)) {
        if (level.dataOffset > bytes.size() || level.bytes > bytes.size() - level.dataOffset) std::abort();
        if (level.kind == DdsKind::Dxt3) {
            const int w = int((level.width + 3) / 4 * 4), h = int((level.height + 3) / 4 * 4);
            if (std::size_t(w) * std::size_t(h) <= level.bytes) {
                std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
                decodeDxt3Image(bytes.data() + level.dataOffset, w, h, pixels.data(), std::size_t(w) * 4);
            }
        }
    }
    return 0;
}
