// The bilinear weights with which both editors mix the four corner colours of a terrain
// square into its 16 x 16 texels: W(a, b) = floor(a*b*255/225 + 0.5) for a, b in 0..15, on a
// 0..255 scale. Texel (u, v) of a square takes W(15-u, 15-v), W(u, 15-v), W(15-u, v) and
// W(u, v) of its corners A, B, C and D; the four always add up to 255.
#pragma once

#include <array>
#include <cstdint>

namespace lnd {

using WeightTable = std::array<std::array<std::uint8_t, 16>, 16>;

constexpr std::uint8_t blendWeight(int a, int b) {
    // Integer form of floor(a*b*255/225 + 0.5): no float rounding can move a weight.
    return static_cast<std::uint8_t>((a * b * 510 + 225) / 450);
}

constexpr WeightTable makeBlendWeights() {
    WeightTable w{};
    for (int a = 0; a < 16; ++a)
        for (int b = 0; b < 16; ++b) w[a][b] = blendWeight(a, b);
    return w;
}

// The table, for code that needs it at compile time (vector kernels lay it out per corner).
inline constexpr WeightTable kBlendWeights = makeBlendWeights();

// The same table at run time.
const WeightTable& blendWeights();

}  // namespace lnd
