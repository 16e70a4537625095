// Writes a land made by the test builder: by default a 6 x 5 patch of blocks with two
// countries, three materials and two low-resolution textures; with a count, that many blocks
// (at most 255) filling the grid row by row from square (0, 0), with 16 low-resolution
// textures, for measuring the editor on a full land; with "largest", the largest land the
// format holds (255 blocks spread over the grid, 15 countries, 40 materials, 64 textures).
#include "support/land_builder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_test_land OUT.lnd [BLOCKS | largest]\n");
        return 2;
    }
    const bool largest = argc == 3 && std::string(argv[2]) == "largest";
    const int count = argc == 3 && !largest ? std::atoi(argv[2]) : 0;
    if (argc == 3 && !largest && (count < 1 || count > 255)) {
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
    if (largest) {
        builder.countries(15).materials(40).loResTextures(64);
        for (int k = 0; k < 255; ++k) {
            const int square = (k * 7) % 1024;   // each square once, over the whole grid
            builder.block(square / 32, square % 32, [k](lnd::TLndBlock& b) {
                for (auto& row : b.Cells)
                    for (auto& c : row) c.CellFlags = std::uint16_t(k % 15);
            });
        }
    } else if (count > 0) {
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
