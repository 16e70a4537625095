// The block encoder written plainly, one step after another, with no shortcut: the fast
// encoder of the product must give the same bytes for every block.
#include "dxt3_reference.h"

#include <algorithm>

namespace lndtest {

namespace {

struct Rgb {
    int r, g, b;
    int& operator[](int c) { return c == 0 ? r : c == 1 ? g : b; }
    int operator[](int c) const { return c == 0 ? r : c == 1 ? g : b; }
    bool operator==(const Rgb&) const = default;
};

int distance(const Rgb& a, const Rgb& b) {
    return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

std::uint16_t to565(const Rgb& c) {
    return std::uint16_t((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3));
}

int nearest(const Rgb* palette, const Rgb& c) {
    int best = 0;
    int bestDist = distance(palette[0], c);
    for (int p = 1; p < 4; ++p) {
        const int d = distance(palette[p], c);
        if (d < bestDist) { bestDist = d; best = p; }
    }
    return best;
}

int paletteError(const Rgb* palette, const Rgb* quantised) {
    int sum = 0;
    for (int i = 0; i < 16; ++i) {
        int best = distance(palette[0], quantised[i]);
        for (int p = 1; p < 4; ++p) best = std::min(best, distance(palette[p], quantised[i]));
        sum += best;
    }
    return sum;
}

void fourColourFit(const Rgb* quantised, const Rgb* distinct, int n, Rgb palette[4]) {
    int bestError = 1 << 30;
    Rgb best[4] = {};
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const Rgb& e0 = distinct[i];
            const Rgb& e1 = distinct[j];
            Rgb trial[4] = {e0, {}, {}, e1};
            for (int c = 0; c < 3; ++c) {
                trial[1][c] = ((2 * e0[c] + e1[c]) * 21760) >> 16;
                trial[2][c] = ((e0[c] + 2 * e1[c]) * 21760) >> 16;
            }
            const int e = paletteError(trial, quantised);
            if (e < bestError) {
                bestError = e;
                std::copy(trial, trial + 4, best);
            }
        }
    for (int c = 0; c < 3; ++c) {
        const int base0 = best[0][c];
        const int base1 = best[3][c];
        if (base0 == base1) continue;
        const Rgb start[4] = {best[0], best[1], best[2], best[3]};
        for (int t0 = std::max(0, base0 - 8); t0 <= std::min(255, base0 + 8); t0 += 4)
            for (int t1 = std::max(0, base1 - 8); t1 <= std::min(255, base1 + 8); t1 += 4) {
                Rgb trial[4] = {start[0], start[1], start[2], start[3]};
                trial[0][c] = t0;
                trial[1][c] = (2 * t0 + t1) / 3;
                trial[2][c] = (t0 + 2 * t1) / 3;
                trial[3][c] = t1;
                const int e = paletteError(trial, quantised);
                if (e < bestError) {
                    bestError = e;
                    std::copy(trial, trial + 4, best);
                }
            }
    }
    std::copy(best, best + 4, palette);
}

}  // namespace

void referenceEncodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]) {
    std::uint64_t alpha = 0;
    Rgb source[16];
    Rgb quantised[16];
    Rgb distinct[16];
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = pixels + 4 * i;
        alpha |= std::uint64_t(p[0] >> 4) << (4 * i);
        source[i] = {p[1], p[2], p[3]};
        quantised[i] = {p[1] & 0xF8, p[2] & 0xFC, p[3] & 0xF8};
        if (std::find(distinct, distinct + n, quantised[i]) == distinct + n) distinct[n++] = quantised[i];
    }
    for (int b = 0; b < 8; ++b) out[b] = std::uint8_t(alpha >> (8 * b));

    std::uint16_t color0 = 0;
    std::uint16_t color1 = 0;
    std::uint32_t codes = 0;
    if (n == 1) {
        color0 = to565(distinct[0]);
    } else if (n == 2) {
        color0 = to565(distinct[0]);
        color1 = to565(distinct[1]);
        for (int i = 0; i < 16; ++i)
            if (!(quantised[i] == distinct[0])) codes |= 1u << (2 * i);
    } else {
        Rgb palette[4];
        fourColourFit(quantised, distinct, n, palette);
        const std::uint16_t a = to565(palette[0]);
        const std::uint16_t b = to565(palette[3]);
        if (a == b) {
            color0 = a;
        } else {
            if (a < b) {
                std::swap(palette[0], palette[3]);
                std::swap(palette[1], palette[2]);
            }
            color0 = std::max(a, b);
            color1 = std::min(a, b);
            static constexpr std::uint32_t kCodeOf[4] = {0, 2, 3, 1};
            for (int i = 0; i < 16; ++i) codes |= kCodeOf[nearest(palette, source[i])] << (2 * i);
        }
    }
    out[8] = std::uint8_t(color0);
    out[9] = std::uint8_t(color0 >> 8);
    out[10] = std::uint8_t(color1);
    out[11] = std::uint8_t(color1 >> 8);
    for (int b = 0; b < 4; ++b) out[12 + b] = std::uint8_t(codes >> (8 * b));
}

}  // namespace lndtest
