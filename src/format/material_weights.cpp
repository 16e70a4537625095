#include "format/material_weights.h"

namespace lnd {

namespace {

// Both kernels rely on this: a weighted sum of 8-bit channels stays below 65536.
constexpr bool weightsSumTo255() {
    for (int u = 0; u < 16; ++u)
        for (int v = 0; v < 16; ++v)
            if (kBlendWeights[15 - u][15 - v] + kBlendWeights[u][15 - v] + kBlendWeights[15 - u][v] + kBlendWeights[u][v] != 255)
                return false;
    return true;
}
static_assert(weightsSumTo255());
static_assert(kBlendWeights[15][15] == 255 && kBlendWeights[7][7] == 56 && kBlendWeights[15][7] == 119 &&
              kBlendWeights[1][1] == 1 && kBlendWeights[15][0] == 0 && kBlendWeights[3][5] == 17);

}  // namespace

const WeightTable& blendWeights() { return kBlendWeights; }

}  // namespace lnd
