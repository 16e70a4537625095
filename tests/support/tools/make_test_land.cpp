// Writes a land made by the test builder: by default a 6 x 5 patch of blocks with two
// countries, three materials and two low-resolution textures; with a count, that many blocks
// (at most 255) filling the grid row by row from square (0, 0), with 16 low-resolution
// textures, for measuring the editor on a full land.
#include "support/land_builder.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_test_land OUT.lnd [BLOCKS]\n");
        return 2;
    }
    const int count = argc == 3 ? std::atoi(argv[2]) : 0;
    if (argc == 3 && (count < 1 || count > 255)) {
        std::fprintf(stderr, "make_test_land: BLOCKS must lie between 1 and 255\n");
        return 2;
    }
    lndtest::LandBuilder builder;
    auto countryStripes = [](int gx) {
        return [gx](lnd::TLndBlock& b) {
            for (auto& row : b.Cells)
                for (auto& c : row) c.CellFlags = std::uint16_t(gx % 2);
        };
    };
    if (count > 0) {
        builder.loResTextures(16).countries(2).materials(3);
        for (int k = 0; k < count; ++k) builder.block(k / 16, k % 16, countryStripes(k / 16));
    } else {
        builder.loResTextures(2).countries(2).materials(3);
        for (int gx = 10; gx < 16; ++gx)
            for (int gz = 12; gz < 17; ++gz) builder.block(gx, gz, countryStripes(gx));
    }
    try {
        builder.writeTo(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_test_land: %s\n", e.what());
        return 1;
    }
    return 0;
}
