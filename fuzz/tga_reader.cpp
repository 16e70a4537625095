// The TGA reader on any bytes, through the stream entry point the editor uses.
#include "codec/image_readers.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (f == nullptr) return 0;
    std::unique_ptr<lnd::CImageBase> image;
    lnd::ReadTga(f, image);
    std::fclose(f);
    return 0;
}
