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
inline V distanceTo(const V* x, int r, int g, int b) {
    return V::addSat(V::addSat(channelDistance(x[0], r), channelDistance(x[1], g)), channelDistance(x[2], b));
}

// The same from 16-bit values in memory, which broadcast straight into the lanes.
template <class V>
inline V distanceTo(const V* x, const std::uint16_t* r, const std::uint16_t* g, const std::uint16_t* b) {
    return V::addSat(V::addSat(V::square(V::sub(x[0], V::splatAt(r))), V::square(V::sub(x[1], V::splatAt(g)))),
                     V::square(V::sub(x[2], V::splatAt(b))));
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
    for (int i = 0; i < n; ++i) toColour[i] = distanceTo(x, colours[i].c[0], colours[i].c[1], colours[i].c[2]);

    int best = 1 << 30;
    // `trial` builds the palette only when the lanes cannot give the error.
    auto score = [&](V nearest, auto trial) {
        if (!V::anyWide(nearest)) return V::weightedSum(nearest, weight);
        if (best <= kWideLane) return best;
        Rgb pal[4];
        trial(pal);
        return exactError(colours, count, n, pal, best);
    };

    Rgb pal[4] = {};
    const V third = V::splat(21760);
    for (int i = 0; i < n; ++i) {
        // Inner entries of every pair (i, j) at once, lane j: near i and near j.
        alignas(32) std::uint16_t nearI[3][16], nearJ[3][16];
        for (int c = 0; c < 3; ++c) {
            const V ci = V::splat(colours[i].c[c]);
            V::store(nearI[c], V::mulhiU(V::add(V::add(ci, ci), x[c]), third));
            V::store(nearJ[c], V::mulhiU(V::add(V::add(x[c], x[c]), ci), third));
        }
        for (int j = i + 1; j < n; ++j) {
            const V nearest = V::minU(V::minU(toColour[i], toColour[j]),
                                      V::minU(distanceTo(x, &nearI[0][j], &nearI[1][j], &nearI[2][j]),
                                              distanceTo(x, &nearJ[0][j], &nearJ[1][j], &nearJ[2][j])));
            auto trial = [&](Rgb* t) {
                t[0] = colours[i];
                t[1] = {{nearI[0][j], nearI[1][j], nearI[2][j]}};
                t[2] = {{nearJ[0][j], nearJ[1][j], nearJ[2][j]}};
                t[3] = colours[j];
            };
            const int err = score(nearest, trial);
            if (err < best) {
                best = err;
                trial(pal);
            }
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
        int t0s[5] = {}, t1s[5] = {};
        int n0 = 0, n1 = 0;
        for (int t = base0 - 8 < 0 ? 0 : base0 - 8; t <= (base0 + 8 > 255 ? 255 : base0 + 8); t += 4) t0s[n0++] = t;
        for (int t = base1 - 8 < 0 ? 0 : base1 - 8; t <= (base1 + 8 > 255 ? 255 : base1 + 8); t += 4) t1s[n1++] = t;
        V end0[5], end1[5];
        for (int a = 0; a < n0; ++a) end0[a] = V::addSat(rest[0], channelDistance(x[c], t0s[a]));
        for (int b = 0; b < n1; ++b) end1[b] = V::addSat(rest[3], channelDistance(x[c], t1s[b]));
        // Both value lists step by 4, so the inner entries of (a, b) depend on 2a + b and
        // a + 2b only: thirteen values each at most, scored once per pass.
        const int sum1 = 2 * t0s[0] + t1s[0], sum2 = t0s[0] + 2 * t1s[0];
        V inner1[13], inner2[13];
        for (int s = 0; s <= 2 * (n0 - 1) + (n1 - 1); ++s)
            inner1[s] = V::addSat(rest[1], channelDistance(x[c], (sum1 + 4 * s) / 3));
        for (int s = 0; s <= (n0 - 1) + 2 * (n1 - 1); ++s)
            inner2[s] = V::addSat(rest[2], channelDistance(x[c], (sum2 + 4 * s) / 3));
        for (int a = 0; a < n0; ++a)
            for (int b = 0; b < n1; ++b) {
                const V nearest = V::minU(V::minU(end0[a], end1[b]), V::minU(inner1[2 * a + b], inner2[a + 2 * b]));
                const int t0 = t0s[a], t1 = t1s[b];
                auto trial = [&](Rgb* t) {
                    for (int p = 0; p < 4; ++p) t[p] = pal[p];
                    t[0].c[c] = t0;
                    t[1].c[c] = (2 * t0 + t1) / 3;
                    t[2].c[c] = (t0 + 2 * t1) / 3;
                    t[3].c[c] = t1;
                };
                const int err = score(nearest, trial);
                if (err < best) {
                    best = err;
                    trial(pal);
                }
            }
    }
    for (int p = 0; p < 4; ++p)
        for (int c = 0; c < 3; ++c) out[3 * p + c] = pal[p].c[c];
}

}  // namespace
}  // namespace lnd::dxt3
