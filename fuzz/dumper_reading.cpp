// Strakmill's reading on any bytes: header, the skip over the textures, every block into the
// big map, for each kind of cell data.
#include "dumper/dump_reading.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace strakmill;
    MemorySource source(data, size);
    lnd::TLndHeader header;
    if (!readHeader(source, header)) return 0;
    off_t firstBlock = 0;
    if (!skipLoResTextures(source, header.NumLoResTextures, firstBlock)) return 0;
    std::vector<std::uint8_t> bigMap(lnd::kBigMapSize, 0);
    for (int choice = 1; choice <= 3; ++choice)
        dumpBlocks(source, firstBlock, header.NumBlocks, lnd::DumpChoice(choice), bigMap);
    return 0;
}
