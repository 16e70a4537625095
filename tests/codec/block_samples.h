// Random 4 x 4 blocks (bytes alpha, red, green, blue) with a chosen number of distinct
// quantised colours, shared by the codec tests and the benchmark.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace lndtest {

using Block = std::array<std::uint8_t, 64>;

// A block with exactly `distinct` (1..16) different 5:6:5 colours, random low bits and alpha.
// Styles vary between wide spread, tight clusters and colours at the ends of the range.
inline Block randomBlock(std::mt19937& rng, int distinct) {
    std::uniform_int_distribution<int> byte(0, 255);
    const int style = std::uniform_int_distribution<int>(0, 2)(rng);
    std::array<std::array<int, 3>, 16> colours{};
    const int base[3] = {byte(rng), byte(rng), byte(rng)};
    for (int k = 0; k < distinct; ++k) {
        for (;;) {
            for (int c = 0; c < 3; ++c) {
                int v = byte(rng);
                if (style == 1) v = std::clamp(base[c] + std::uniform_int_distribution<int>(-24, 24)(rng), 0, 255);
                if (style == 2) v = std::uniform_int_distribution<int>(0, 1)(rng) ? byte(rng) % 16 : 255 - byte(rng) % 16;
                colours[std::size_t(k)][std::size_t(c)] = v & (c == 1 ? 0xFC : 0xF8);
            }
            bool fresh = true;
            for (int m = 0; m < k; ++m) fresh = fresh && colours[std::size_t(m)] != colours[std::size_t(k)];
            if (fresh) break;
        }
    }
    std::array<int, 16> which{};
    for (int i = 0; i < 16; ++i) which[std::size_t(i)] = i < distinct ? i : std::uniform_int_distribution<int>(0, distinct - 1)(rng);
    std::shuffle(which.begin(), which.end(), rng);
    Block b{};
    for (int i = 0; i < 16; ++i) {
        const auto& c = colours[std::size_t(which[std::size_t(i)])];
        b[std::size_t(4 * i)] = std::uint8_t(byte(rng));
        b[std::size_t(4 * i + 1)] = std::uint8_t(c[0] | (byte(rng) & 7));
        b[std::size_t(4 * i + 2)] = std::uint8_t(c[1] | (byte(rng) & 3));
        b[std::size_t(4 * i + 3)] = std::uint8_t(c[2] | (byte(rng) & 7));
    }
    return b;
}

}  // namespace lndtest
