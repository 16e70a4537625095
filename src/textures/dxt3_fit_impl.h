// The four-colour fit written once over a vector type of sixteen 16-bit lanes, one lane per
// distinct colour of the block. Included by each translation unit that builds a variant; the
// anonymous namespace keeps every copy private to its unit, so code built for wider
// instruction sets never stands in for the baseline one at link time.
//
// A lane holds the distance from one colour to the nearest palette entry tried so far. Squares
// of byte differences fit 16 bits exactly and the sums saturate at 65535, so a lane below 32768
// is exact; the weighted sum of exact lanes is the palette's exact error. A lane at or above
// 32768 means the palette misses that colour by at least that much: such a palette either
// cannot beat the best error so far or is scored again exactly in plain integers.
#pragma once

#include <cstdint>

namespace lnd::dxt3 {
namespace {

struct Rgb {
    int c[3];
};

inline int distance(const Rgb& a, const Rgb& b) {
    const int dr = a.c[0] - b.c[0], dg = a.c[1] - b.c[1], db = a.c[2] - b.c[2];
    return dr * dr + dg * dg + db * db;
}

// The inner entry near `near`, with the search's 21760 / 65536 in place of a third.
inline Rgb inner21760(const Rgb& near, const Rgb& far) {
    Rgb m;
    for (int c = 0; c < 3; ++c) m.c[c] = ((2 * near.c[c] + far.c[c]) * 21760) >> 16;
    return m;
}

// The weighted error of `pal` in plain integers; stops once it reaches `bound`.
inline int exactError(const Rgb* colours, const int* count, int n, const Rgb* pal, int bound) {
    int err = 0;
    for (int k = 0; k < n; ++k) {
        int d = distance(pal[0], colours[k]);
        for (int p = 1; p < 4; ++p) {
            const int e = distance(pal[p], colours[k]);
            d = e < d ? e : d;
        }
        err += count[k] * d;
        if (err >= bound) break;
    }
    return err;
}

constexpr int kWideLane = 32768;

template <class V>
inline V channelDistance(V x, int value) {
    return V::square(V::sub(x, V::splat(value)));
}

template <class V>
inline V distanceTo(const V* x, const Rgb& c) {
    return V::addSat(V::addSat(channelDistance(x[0], c.c[0]), channelDistance(x[1], c.c[1])), channelDistance(x[2], c.c[2]));
}

// The exhaustive pair search (first pair with the smallest error wins) followed by the
// per-channel refinement with exact thirds, over n (3..16) distinct colours.
template <class V>
void fourColourFit(const int* in, const int* count, int n, int* out) {
    Rgb colours[16];
    alignas(32) std::uint16_t lanes[4][16];
    for (int k = 0; k < 16; ++k) {
        // Spare lanes repeat the first colour with no weight, so they neither add error nor
        // look wide on their own.
        const int src = k < n ? k : 0;
        for (int c = 0; c < 3; ++c) lanes[c][k] = std::uint16_t(in[3 * src + c]);
        lanes[3][k] = std::uint16_t(k < n ? count[k] : 0);
        if (k < n) colours[k] = {{in[3 * k], in[3 * k + 1], in[3 * k + 2]}};
    }
    const V x[3] = {V::load(lanes[0]), V::load(lanes[1]), V::load(lanes[2])};
    const V weight = V::load(lanes[3]);
    V toColour[16];
    for (int i = 0; i < n; ++i) toColour[i] = distanceTo(x, colours[i]);

    int best = 1 << 30;
    auto score = [&](V nearest, const Rgb* trial) {
        if (!V::anyWide(nearest)) return V::weightedSum(nearest, weight);
        if (best <= kWideLane) return best;
        return exactError(colours, count, n, trial, best);
    };

    Rgb pal[4] = {};
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const Rgb trial[4] = {colours[i], inner21760(colours[i], colours[j]), inner21760(colours[j], colours[i]),
                                  colours[j]};
            const V nearest =
                V::minU(V::minU(toColour[i], toColour[j]), V::minU(distanceTo(x, trial[1]), distanceTo(x, trial[2])));
            const int err = score(nearest, trial);
            if (err < best) {
                best = err;
                for (int p = 0; p < 4; ++p) pal[p] = trial[p];
            }
        }

    for (int c = 0; c < 3; ++c) {
        const int base0 = pal[0].c[c];
        const int base1 = pal[3].c[c];
        if (base0 == base1) continue;
        const int o1 = c == 0 ? 1 : 0, o2 = c == 2 ? 1 : 2;
        // The two channels this pass leaves alone keep their distances throughout.
        V rest[4];
        for (int p = 0; p < 4; ++p) rest[p] = V::addSat(channelDistance(x[o1], pal[p].c[o1]), channelDistance(x[o2], pal[p].c[o2]));
        int t0s[5], t1s[5];
        int n0 = 0, n1 = 0;
        for (int t = base0 - 8 < 0 ? 0 : base0 - 8; t <= (base0 + 8 > 255 ? 255 : base0 + 8); t += 4) t0s[n0++] = t;
        for (int t = base1 - 8 < 0 ? 0 : base1 - 8; t <= (base1 + 8 > 255 ? 255 : base1 + 8); t += 4) t1s[n1++] = t;
        V end0[5], end1[5];
        for (int a = 0; a < n0; ++a) end0[a] = V::addSat(rest[0], channelDistance(x[c], t0s[a]));
        for (int b = 0; b < n1; ++b) end1[b] = V::addSat(rest[3], channelDistance(x[c], t1s[b]));
        for (int a = 0; a < n0; ++a)
            for (int b = 0; b < n1; ++b) {
                Rgb trial[4] = {pal[0], pal[1], pal[2], pal[3]};
                trial[0].c[c] = t0s[a];
                trial[1].c[c] = (2 * t0s[a] + t1s[b]) / 3;
                trial[2].c[c] = (t0s[a] + 2 * t1s[b]) / 3;
                trial[3].c[c] = t1s[b];
                const V nearest = V::minU(V::minU(end0[a], end1[b]),
                                          V::minU(V::addSat(rest[1], channelDistance(x[c], trial[1].c[c])),
                                                  V::addSat(rest[2], channelDistance(x[c], trial[2].c[c]))));
                const int err = score(nearest, trial);
                if (err < best) {
                    best = err;
                    for (int p = 0; p < 4; ++p) pal[p].c[c] = trial[p].c[c];
                }
            }
    }
    for (int p = 0; p < 4; ++p)
        for (int c = 0; c < 3; ++c) out[3 * p + c] = pal[p].c[c];
}

}  // namespace
}  // namespace lnd::dxt3
