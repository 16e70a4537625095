// Writes a small land made by the test builder: a 6 x 5 island of blocks with two countries,
// three materials and two low-resolution textures. Used until the procedural sample land exists.
#include "support/land_builder.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_land OUT.lnd\n");
        return 2;
    }
    lndtest::LandBuilder builder;
    builder.loResTextures(2).countries(2).materials(3);
    for (int gx = 10; gx < 16; ++gx)
        for (int gz = 12; gz < 17; ++gz)
            builder.block(gx, gz, [gx](lnd::TLndBlock& b) {
                for (auto& row : b.Cells)
                    for (auto& c : row) c.CellFlags = std::uint16_t(gx % 2);
            });
    try {
        builder.writeTo(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_test_land: %s\n", e.what());
        return 1;
    }
    return 0;
}
