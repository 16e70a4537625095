// The four-colour fit and the block encoder around it, written once over a vector type of
// sixteen 16-bit lanes: one lane per distinct colour of the block in the fit, one per pixel
// when choosing the codes. Included by each translation unit that builds a variant; the
// anonymous namespace keeps every copy private to its unit, so code built for wider
// instruction sets never stands in for the baseline one at link time.
//
// A lane holds the distance from one colour to the nearest palette entry tried so far. Squares
// of byte differences fit 16 bits exactly and the sums saturate at 65535, so a lane below 32768
// is exact; the weighted sum of exact lanes is the palette's exact error. A lane at or above
// 32768 means the palette misses that colour by at least that much: such a palette either
// cannot beat the best error so far or is scored apart from the batch, from its lanes when
// none of them saturated, in plain integers when one did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

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
// A lane at this value may have been cut short by saturation.
constexpr int kSaturated = 65535;

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

// A value the code has just stored, for variants that say how best to broadcast one.
template <class V>
inline V splatStored(const std::uint16_t* p) {
    if constexpr (requires { V::splatStored(p); })
        return V::splatStored(p);
    else
        return V::splatAt(p);
}

// Palettes are scored eight at a time, sharing one horizontal reduction and one comparison
// with the best error. Candidate lists are padded to whole batches by repeating their last
// entry: a repeat scores the same error as the entry it copies, so it never wins over it, and
// the first candidate in list order with the smallest error strictly below the best so far
// wins exactly as when they are scored one at a time.
constexpr int kBatch = 8;

// Pairs (i, j), i < j < n, in list order, for every colour count n, as offsets into tables of
// 16 x 16 lanes: 16 i, 16 j and 16 i + j, which the loads take without further arithmetic.
struct PairList {
    std::uint16_t rowI[128];
    std::uint16_t rowJ[128];
    std::uint16_t pair[128];
    int count;  // pairs
    int size;   // padded to a multiple of kBatch
};

constexpr PairList makePairList(int n) {
    PairList l{};
    int m = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            l.rowI[m] = std::uint16_t(16 * i);
            l.rowJ[m] = std::uint16_t(16 * j);
            l.pair[m] = std::uint16_t(16 * i + j);
            ++m;
        }
    l.count = m;
    for (l.size = m; l.size % kBatch != 0; ++l.size) {
        l.rowI[l.size] = l.rowI[m - 1];
        l.rowJ[l.size] = l.rowJ[m - 1];
        l.pair[l.size] = l.pair[m - 1];
    }
    return l;
}

struct PairLists {
    PairList byCount[17];
    constexpr PairLists() : byCount{} {
        for (int n = 2; n <= 16; ++n) byCount[n] = makePairList(n);
    }
};

inline constexpr PairLists kPairs{};

// Refinement trials (a, b) for a, b < 5 in list order, as offsets into one table of lanes:
// the five first endpoints, the five second endpoints, the thirteen entries near the first
// and the thirteen near the second. With only n0 first or n1 second values in range, a trial
// beyond them repeats the trial (min(a, n0 - 1), min(b, n1 - 1)), which comes earlier in the
// list; so every pass scores the same 32 candidates.
constexpr int kEnd0 = 0, kEnd1 = 5, kInner1 = 10, kInner2 = 23, kTrialLanes = 36;
constexpr int kTrialCount = 32;

struct TrialList {
    std::uint16_t end0[kTrialCount];
    std::uint16_t end1[kTrialCount];
    std::uint16_t inner1[kTrialCount];
    std::uint16_t inner2[kTrialCount];
};

struct TrialLists {
    TrialList bySize[6][6];
    constexpr TrialLists() : bySize{} {
        for (int n0 = 3; n0 <= 5; ++n0)
            for (int n1 = 3; n1 <= 5; ++n1) {
                TrialList& l = bySize[n0][n1];
                for (int m = 0; m < kTrialCount; ++m) {
                    const int a = m < 25 ? m / 5 : 4, b = m < 25 ? m % 5 : 4;
                    const int a1 = a < n0 ? a : n0 - 1, b1 = b < n1 ? b : n1 - 1;
                    l.end0[m] = std::uint16_t(16 * (kEnd0 + a1));
                    l.end1[m] = std::uint16_t(16 * (kEnd1 + b1));
                    l.inner1[m] = std::uint16_t(16 * (kInner1 + 2 * a1 + b1));
                    l.inner2[m] = std::uint16_t(16 * (kInner2 + a1 + 2 * b1));
                }
            }
    }
};

inline constexpr TrialLists kTrials{};

// The least error of a search and the list index of the palette that first reached it
// (-1 for the palette the search started from), from the running least of every batch
// position: the smallest sum, and the earliest index among positions that share it.
template <class V>
inline void leastOfAll(const typename V::Least& least, int& best, int& at) {
    if constexpr (requires { V::reduceLeast(least, best, at); }) {
        V::reduceLeast(least, best, at);
        return;
    }
    alignas(32) int sums[kBatch], ats[kBatch];
    V::storeLeast(least, sums, ats);
    best = sums[0];
    for (int k = 1; k < kBatch; ++k) best = sums[k] < best ? sums[k] : best;
    at = 1 << 30;
    for (int k = 0; k < kBatch; ++k) {
        const int candidate = sums[k] == best ? ats[k] : 1 << 30;
        at = candidate < at ? candidate : at;
    }
}

// Scores one batch of nearest-entry lanes, list indices `first` on, into the running least of
// each batch position. The vector path takes no branch on the data, which would be
// mispredicted often; the winner is found once the search ends. A batch with a lane too
// wide for the vector sum is scored in order against the least so far; `trial(m, t)` builds
// the palette of list index m for that.
template <class V, class Trial>
inline void scoreBatch(const V* nearest, V seen, V weight, typename V::Least& least, int first, const Rgb* colours,
                       const int* count, int n, Trial trial) {
    if (!V::anyWide(seen)) {
        V::keepLeast(least, nearest, weight, first);
        return;
    }
    int best, winner;
    leastOfAll<V>(least, best, winner);
    for (int k = 0; k < kBatch; ++k) {
        int err;
        if (!V::anyWide(nearest[k])) {
            err = V::weightedSum(nearest[k], weight);
        } else if (best <= kWideLane) {
            continue;  // the palette misses some colour by at least `best`
        } else if (!V::anySaturated(nearest[k])) {
            err = V::weightedSumWide(nearest[k], weight);
        } else if (best <= kSaturated) {
            continue;
        } else {
            Rgb t[4];
            trial(first + k, t);
            err = exactError(colours, count, n, t, best);
        }
        if (err < best) {
            best = err;
            winner = first + k;
        }
    }
    least = V::leastOf(best, winner);
}

// Scores the 32 refinement trials of one pass from the table of their entries' lanes.
template <class V, class Trial>
inline void scoreTrials(const TrialList& trials, const std::uint16_t* entry, V weight, typename V::Least& least,
                        const Rgb* colours, const int* count, int n, Trial trial) {
    for (int p = 0; p < kTrialCount; p += kBatch) {
        V nearest[kBatch];
        V seen = V::splat(0);
#pragma GCC unroll 8
        for (int k = 0; k < kBatch; ++k) {
            nearest[k] = V::minU(V::minU(V::load(entry + trials.end0[p + k]), V::load(entry + trials.end1[p + k])),
                                 V::minU(V::load(entry + trials.inner1[p + k]), V::load(entry + trials.inner2[p + k])));
            seen = V::orBits(seen, nearest[k]);
        }
        scoreBatch(nearest, seen, weight, least, p, colours, count, n, trial);
    }
}

// The first three batches of the same for n0 first and n1 second values known when compiling,
// every offset unrolled.
template <class V, int N0, int N1, class Trial>
inline void scoreTrials(const std::uint16_t* entry, V weight, typename V::Least& least, const Rgb* colours,
                        const int* count, int n, Trial trial) {
    constexpr const TrialList& trials = kTrials.bySize[N0][N1];
    auto batch = [&]<int p>(std::integral_constant<int, p>) {
        V nearest[kBatch];
        V seen = V::splat(0);
        [&]<int... k>(std::integer_sequence<int, k...>) {
            ((nearest[k] = V::minU(V::minU(V::load(entry + trials.end0[p + k]), V::load(entry + trials.end1[p + k])),
                                   V::minU(V::load(entry + trials.inner1[p + k]), V::load(entry + trials.inner2[p + k]))),
              seen = V::orBits(seen, nearest[k])),
             ...);
        }(std::make_integer_sequence<int, kBatch>{});
        scoreBatch(nearest, seen, weight, least, p, colours, count, n, trial);
    };
    batch(std::integral_constant<int, 0>{});
    batch(std::integral_constant<int, 8>{});
    batch(std::integral_constant<int, 16>{});
}

// With both ends in range the 25th trial is the last that is not a repeat: it is scored alone
// after the first three batches, and wins only strictly below all of them, as it would in order.
template <class V, class Trial>
inline void scoreTrials55(const std::uint16_t* entry, V weight, typename V::Least& least, const Rgb* colours,
                          const int* count, int n, Trial trial) {
    constexpr int kLast = 24;
    static_assert(kTrialCount == 4 * kBatch && kLast == 3 * kBatch);
    scoreTrials<V, 5, 5>(entry, weight, least, colours, count, n, trial);
    int best, winner;
    leastOfAll<V>(least, best, winner);
    constexpr const TrialList& trials = kTrials.bySize[5][5];
    const V nearest = V::minU(V::minU(V::load(entry + trials.end0[kLast]), V::load(entry + trials.end1[kLast])),
                              V::minU(V::load(entry + trials.inner1[kLast]), V::load(entry + trials.inner2[kLast])));
    int err;
    if (!V::anyWide(nearest)) {
        err = V::weightedSum(nearest, weight);
    } else if (best <= kWideLane) {
        return;
    } else if (!V::anySaturated(nearest)) {
        err = V::weightedSumWide(nearest, weight);
    } else if (best <= kSaturated) {
        return;
    } else {
        Rgb t[4];
        trial(kLast, t);
        err = exactError(colours, count, n, t, best);
    }
    if (err < best) least = V::leastOf(err, kLast);
}

// The exhaustive pair search (first pair with the smallest error wins) followed by the
// per-channel refinement with exact thirds, over n (3..16) distinct colours given as lanes:
// red, green, blue and the pixel count of each colour. Spare lanes must repeat the first
// colour with no weight, so that they neither add error nor look wide on their own.
template <class V>
void fitLanes(const std::uint16_t (&lanes)[4][16], int n, Rgb* pal) {
    Rgb colours[16];
    int count[16];
    for (int k = 0; k < n; ++k) {
        colours[k] = {{lanes[0][k], lanes[1][k], lanes[2][k]}};
        count[k] = lanes[3][k];
    }
    const V x[3] = {V::load(lanes[0]), V::load(lanes[1]), V::load(lanes[2])};
    const V weight = V::load(lanes[3]);
    alignas(32) std::uint16_t toColour[16 * 16];
    for (int i = 0; i < n; ++i) V::store(toColour + 16 * i, distanceTo(x, colours[i].c[0], colours[i].c[1], colours[i].c[2]));

    // Inner entries of every pair, row i and lane j holding pair (i, j): near i and near j.
    alignas(32) std::uint16_t nearI[3][16 * 16], nearJ[3][16 * 16];
    const V third = V::splat(21760);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const V ci = V::splat(colours[i].c[c]);
            V::store(nearI[c] + 16 * i, V::mulhiU(V::add(V::add(ci, ci), x[c]), third));
            V::store(nearJ[c] + 16 * i, V::mulhiU(V::add(V::add(x[c], x[c]), ci), third));
        }

    int best = 1 << 30;
    const PairList& pairs = kPairs.byCount[n];
    // The same truncated thirds as the lanes compute, for the palette of pair (i, j).
    auto pairPalette = [&](int i, int j, Rgb* t) {
        const Rgb& a = colours[i];
        const Rgb& b = colours[j];
        t[0] = a;
        t[3] = b;
        for (int c = 0; c < 3; ++c) {
            t[1].c[c] = ((2 * a.c[c] + b.c[c]) * 21760) >> 16;
            t[2].c[c] = ((a.c[c] + 2 * b.c[c]) * 21760) >> 16;
        }
    };
    auto pairTrial = [&](int m, Rgb* t) { pairPalette(pairs.rowI[m] >> 4, pairs.rowJ[m] >> 4, t); };
    typename V::Least least = V::leastOf(best, -1);
    auto pairNearest = [&](int m) {
        const int o = pairs.pair[m];
        return V::minU(V::minU(V::load(toColour + pairs.rowI[m]), V::load(toColour + pairs.rowJ[m])),
                       V::minU(distanceTo(x, &nearI[0][o], &nearI[1][o], &nearI[2][o]),
                               distanceTo(x, &nearJ[0][o], &nearJ[1][o], &nearJ[2][o])));
    };
    int p = 0;
    for (; p + kBatch <= pairs.count; p += kBatch) {
        V nearest[kBatch];
        V seen = V::splat(0);
        for (int k = 0; k < kBatch; ++k) {
            nearest[k] = pairNearest(p + k);
            seen = V::orBits(seen, nearest[k]);
        }
        scoreBatch(nearest, seen, weight, least, p, colours, count, n, pairTrial);
    }
    if (p < pairs.count) {
        // The last batch's padding repeats its last pair: copied rather than computed again.
        V nearest[kBatch];
        V seen = V::splat(0);
        int k = 0;
        for (; p + k < pairs.count; ++k) {
            nearest[k] = pairNearest(p + k);
            seen = V::orBits(seen, nearest[k]);
        }
        for (; k < kBatch; ++k) nearest[k] = nearest[k - 1];
        scoreBatch(nearest, seen, weight, least, p, colours, count, n, pairTrial);
    }
    int winner;
    leastOfAll<V>(least, best, winner);
    if (winner >= 0) pairTrial(winner, pal);

    for (int c = 0; c < 3; ++c) {
        const int base0 = pal[0].c[c];
        const int base1 = pal[3].c[c];
        // A palette that misses nothing cannot be beaten: trials must score strictly less.
        if (best == 0) break;
        if (base0 == base1) continue;
        const int o1 = c == 0 ? 1 : 0, o2 = c == 2 ? 1 : 2;
        // The two channels this pass leaves alone keep their distances throughout.
        V rest[4];
        for (int q = 0; q < 4; ++q) rest[q] = V::addSat(channelDistance(x[o1], pal[q].c[o1]), channelDistance(x[o2], pal[q].c[o2]));
        // The values of each end within 8 of its best so far, in steps of 4, kept inside a
        // byte. Five are tabled whatever the count; those past the end are never read.
        const int start0 = base0 - 8 < 0 ? 0 : base0 - 8, start1 = base1 - 8 < 0 ? 0 : base1 - 8;
        const int n0 = ((base0 + 8 > 255 ? 255 : base0 + 8) - start0) / 4 + 1;
        const int n1 = ((base1 + 8 > 255 ? 255 : base1 + 8) - start1) / 4 + 1;
        // Both value lists step by 4, so the inner entries of (a, b) depend on 2a + b and
        // a + 2b only: thirteen values each, scored once per pass. All the values come from
        // the lanes at once, the thirds exactly as (v * 43691) >> 17 for v below 98304.
        const int sum1 = 2 * start0 + start1, sum2 = start0 + 2 * start1;
        alignas(32) static constexpr std::uint16_t kSteps[16] = {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60};
        const V steps = V::load(kSteps), exactThird = V::splat(43691);
        alignas(32) std::uint16_t value[4][16];
        V::store(value[0], V::add(V::splat(start0), steps));
        V::store(value[1], V::add(V::splat(start1), steps));
        V::store(value[2], V::template shiftRight<1>(V::mulhiU(V::add(V::splat(sum1), steps), exactThird)));
        V::store(value[3], V::template shiftRight<1>(V::mulhiU(V::add(V::splat(sum2), steps), exactThird)));
        auto tabled = [&](V restOf, const std::uint16_t* v) { return V::addSat(restOf, V::square(V::sub(x[c], splatStored<V>(v)))); };
        alignas(32) std::uint16_t entry[kTrialLanes * 16];
        for (int a = 0; a < 5; ++a) {
            V::store(entry + 16 * (kEnd0 + a), tabled(rest[0], &value[0][a]));
            V::store(entry + 16 * (kEnd1 + a), tabled(rest[3], &value[1][a]));
        }
        for (int t = 0; t < 13; ++t) {
            V::store(entry + 16 * (kInner1 + t), tabled(rest[1], &value[2][t]));
            V::store(entry + 16 * (kInner2 + t), tabled(rest[2], &value[3][t]));
        }
        const TrialList& trials = kTrials.bySize[n0][n1];
        // Every trial keeps the other channels of the pass's start.
        auto refined = [&](int m, Rgb* t) {
            const int t0 = start0 + 4 * (trials.end0[m] / 16 - kEnd0), t1 = start1 + 4 * (trials.end1[m] / 16 - kEnd1);
            for (int q = 0; q < 4; ++q) t[q] = pal[q];
            t[0].c[c] = t0;
            t[1].c[c] = (2 * t0 + t1) / 3;
            t[2].c[c] = (t0 + 2 * t1) / 3;
            t[3].c[c] = t1;
        };
        least = V::leastOf(best, -1);
        // Both ends in range is the common case: its offsets are constants of the code.
        if (n0 == 5 && n1 == 5)
            scoreTrials55<V>(entry, weight, least, colours, count, n, refined);
        else
            scoreTrials<V>(trials, entry, weight, least, colours, count, n, refined);
        leastOfAll<V>(least, best, winner);
        if (winner >= 0) refined(winner, pal);
    }
}

template <class V>
void fourColourFit(const int* in, const int* count, int n, int* out) {
    alignas(32) std::uint16_t lanes[4][16];
    for (int k = 0; k < 16; ++k) {
        const int src = k < n ? k : 0;
        for (int c = 0; c < 3; ++c) lanes[c][k] = std::uint16_t(in[3 * src + c]);
        lanes[3][k] = std::uint16_t(k < n ? count[k] : 0);
    }
    Rgb pal[4] = {};
    fitLanes<V>(lanes, n, pal);
    for (int q = 0; q < 4; ++q)
        for (int c = 0; c < 3; ++c) out[3 * q + c] = pal[q].c[c];
}

inline std::uint16_t to565(const Rgb& c) {
    return std::uint16_t((c.c[0] >> 3) << 11 | (c.c[1] >> 2) << 5 | (c.c[2] >> 3));
}

// Spreads the low 16 bits of x to the even bits of the result.
inline std::uint32_t spreadBits(std::uint32_t x) {
    x = (x | x << 8) & 0x00FF00FFu;
    x = (x | x << 4) & 0x0F0F0F0Fu;
    x = (x | x << 2) & 0x33333333u;
    return (x | x << 1) & 0x55555555u;
}

// Codes of the 16 source pixels against the four-colour palette, nearest entry first winning
// ties; position 0, 1, 2, 3 of the palette gives code 0, 2, 3, 1. The 16-bit distances are
// exact squares with saturating sums, so the comparisons are exact unless a pixel's nearest
// distance itself saturates; such blocks are compared in plain integers.
template <class V>
std::uint32_t paletteCodes(const V* src, const std::uint8_t* pixels, std::size_t pitch, const Rgb* pal) {
    V d[4];
    for (int p = 0; p < 4; ++p) d[p] = distanceTo(src, pal[p].c[0], pal[p].c[1], pal[p].c[2]);
    const V lt1 = V::below(d[1], d[0]);
    V m = V::minU(d[0], d[1]);
    const V lt2 = V::below(d[2], m);
    m = V::minU(m, d[2]);
    const V lt3 = V::below(d[3], m);
    m = V::minU(m, d[3]);
    if (!V::anyWide(m)) {
        const std::uint32_t lo = V::bits(V::orBits(lt2, lt3));
        const std::uint32_t hi = V::bits(V::orBits(lt1, lt2)) & ~V::bits(lt3);
        return spreadBits(lo) | spreadBits(hi) << 1;
    }
    static constexpr std::uint32_t kCodeOf[4] = {0, 2, 3, 1};
    std::uint32_t codes = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* px = pixels + std::size_t(i / 4) * pitch + std::size_t(4 * (i % 4));
        const Rgb c{{px[1], px[2], px[3]}};
        int best = 0;
        int bestDist = distance(pal[0], c);
        for (int p = 1; p < 4; ++p)
            if (const int e = distance(pal[p], c); e < bestDist) {
                bestDist = e;
                best = p;
            }
        codes |= kCodeOf[best] << (2 * i);
    }
    return codes;
}

// One whole DXT3 block: alpha nibbles, then the colour half from the quantised colours.
template <class V>
void encodeBlock(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out) {
    std::uint64_t alpha = 0;
    if constexpr (requires { V::alphaNibbles(pixels, pitch); }) {
        alpha = V::alphaNibbles(pixels, pitch);
    } else {
        for (int i = 0; i < 16; ++i) alpha |= std::uint64_t(pixels[std::size_t(i / 4) * pitch + std::size_t(4 * (i % 4))] >> 4) << (4 * i);
    }
    for (int b = 0; b < 8; ++b) out[b] = std::uint8_t(alpha >> (8 * b));

    const V src[3] = {V::byteOf(pixels, pitch, 1), V::byteOf(pixels, pitch, 2), V::byteOf(pixels, pitch, 3)};
    const V q[3] = {V::andBits(src[0], V::splat(0xF8)), V::andBits(src[1], V::splat(0xFC)), V::andBits(src[2], V::splat(0xF8))};
    // The 5:6:5 value of a quantised colour identifies it.
    const V key = V::orBits(V::orBits(V::template shiftLeft<8>(q[0]), V::template shiftLeft<3>(q[1])), V::template shiftRight<3>(q[2]));
    alignas(32) std::uint16_t keys[16];
    V::store(keys, key);

    // Distinct colours in order of first appearance, each with its pixel count.
    alignas(32) std::uint16_t lanes[4][16];
    const std::uint32_t firstSame = V::bits(V::equal(key, V::splatAt(&keys[0])));  // the pixels of the first colour
    int n = 0;
    if constexpr (requires { V::distinctColours(key, q, lanes); }) {
        n = V::distinctColours(key, q, lanes);
    } else {
        alignas(32) std::uint16_t quantised[3][16];
        for (int c = 0; c < 3; ++c) V::store(quantised[c], q[c]);
        // Every pixel is compared with all sixteen independently, rather than walking from one
        // new colour to the next, whose steps would wait on each other. A pixel whose colour
        // appears earlier writes its slot and leaves it for the next new colour.
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t same = i == 0 ? firstSame : V::bits(V::equal(key, splatStored<V>(&keys[i])));
            for (int c = 0; c < 3; ++c) lanes[c][n] = quantised[c][i];
            lanes[3][n] = std::uint16_t(__builtin_popcount(same));
            n += (same & ((1u << i) - 1)) == 0;
        }
    }

    std::uint16_t color0 = keys[0];
    std::uint16_t color1 = 0;
    std::uint32_t codes = 0;
    if (n == 2) {
        color1 = keys[__builtin_ctz(~firstSame)];
        codes = spreadBits(~firstSame & 0xFFFF);
    } else if (n > 2) {
        for (int k = n; k < 16; ++k)
            for (int c = 0; c < 4; ++c) lanes[c][k] = c < 3 ? lanes[c][0] : 0;
        // The three-colour palette is never chosen: DXT3 colour blocks are always decoded with
        // four colours, so its midpoint texels would show wrongly.
        Rgb pal[4] = {};
        fitLanes<V>(lanes, n, pal);
        const std::uint16_t a = to565(pal[0]);
        const std::uint16_t b = to565(pal[3]);
        color0 = a;
        if (a != b) {
            // color0 must be the greater value, which selects four-colour decoding.
            if (a < b) {
                std::swap(pal[0], pal[3]);
                std::swap(pal[1], pal[2]);
                color0 = b;
                color1 = a;
            } else {
                color1 = b;
            }
            codes = paletteCodes(src, pixels, pitch, pal);
        }
    }
    out[8] = std::uint8_t(color0);
    out[9] = std::uint8_t(color0 >> 8);
    out[10] = std::uint8_t(color1);
    out[11] = std::uint8_t(color1 >> 8);
    for (int b = 0; b < 4; ++b) out[12 + b] = std::uint8_t(codes >> (8 * b));
}

}  // namespace
}  // namespace lnd::dxt3
