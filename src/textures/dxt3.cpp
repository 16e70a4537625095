#include "textures/dxt3.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lnd {

namespace {

// ---------------------------------------------------------------------------------------
// Four-lane float arithmetic. Every value the search handles is a whole number below 2^24
// (a squared distance is at most 3 * 255^2, an error at most 16 times that), so float sums
// and products are exact and give the same choices as integer arithmetic would.
// ---------------------------------------------------------------------------------------
#if defined(__SSE2__)
struct F4 {
    __m128 v;
};
inline F4 load4(const float* p) { return {_mm_load_ps(p)}; }
inline F4 splat4(float x) { return {_mm_set1_ps(x)}; }
inline F4 operator+(F4 a, F4 b) { return {_mm_add_ps(a.v, b.v)}; }
inline F4 operator-(F4 a, F4 b) { return {_mm_sub_ps(a.v, b.v)}; }
inline F4 operator*(F4 a, F4 b) { return {_mm_mul_ps(a.v, b.v)}; }
inline F4 min4(F4 a, F4 b) { return {_mm_min_ps(a.v, b.v)}; }
inline float sum4(F4 a) {
    __m128 s = _mm_add_ps(a.v, _mm_movehl_ps(a.v, a.v));
    s = _mm_add_ss(s, _mm_shuffle_ps(s, s, 1));
    return _mm_cvtss_f32(s);
}
#else
struct F4 {
    float v[4];
};
inline F4 load4(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
inline F4 splat4(float x) { return {{x, x, x, x}}; }
#define LND_F4_OP(op)                                                      \
    inline F4 operator op(F4 a, F4 b) {                                    \
        return {{a.v[0] op b.v[0], a.v[1] op b.v[1], a.v[2] op b.v[2], a.v[3] op b.v[3]}}; \
    }
LND_F4_OP(+)
LND_F4_OP(-)
LND_F4_OP(*)
#undef LND_F4_OP
inline F4 min4(F4 a, F4 b) {
    F4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = b.v[i] < a.v[i] ? b.v[i] : a.v[i];
    return r;
}
inline float sum4(F4 a) { return (a.v[0] + a.v[1]) + (a.v[2] + a.v[3]); }
#endif

inline F4 square(F4 a) { return a * a; }

struct Rgb {
    int c[3];
    bool operator==(const Rgb&) const = default;
};

inline int distance(const Rgb& a, const Rgb& b) {
    const int dr = a.c[0] - b.c[0], dg = a.c[1] - b.c[1], db = a.c[2] - b.c[2];
    return dr * dr + dg * dg + db * db;
}

inline std::uint16_t to565(const Rgb& c) {
    return std::uint16_t((c.c[0] >> 3) << 11 | (c.c[1] >> 2) << 5 | (c.c[2] >> 3));
}

// The distinct quantised colours of a block, with their pixel counts, laid out by channel in
// groups of four lanes for the error sums. The sums visit first the colours that weigh most far from
// the block's centre, so that a palette that cannot win is dropped sooner; padding lanes weigh
// nothing.
struct Colours {
    alignas(16) float ch[3][16];
    alignas(16) float weight[16];
    // toEach[i][k]: distance from distinct colour i to evaluated colour k.
    alignas(16) float toEach[16][16];
    int groups = 0;
};

void layOut(const Rgb* distinct, const int* count, int n, Colours& cs) {
    // Colours far from the centre are the ones a poor palette misses by most.
    int centre[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i)
        for (int ch = 0; ch < 3; ++ch) centre[ch] += count[i] * distinct[i].c[ch];
    const Rgb mean = {{centre[0] / 16, centre[1] / 16, centre[2] / 16}};
    int spread[16];
    int order[16];
    for (int i = 0; i < n; ++i) {
        order[i] = i;
        spread[i] = count[i] * distance(distinct[i], mean);
    }
    std::stable_sort(order, order + n, [&](int a, int b) { return spread[a] > spread[b]; });
    // Groups are summed two at a time: eight lanes between checks of the bound.
    cs.groups = 2 * ((n + 7) / 8);
    for (int k = 0; k < 4 * cs.groups; ++k) {
        const bool real = k < n;
        const Rgb& c = distinct[real ? order[k] : order[0]];
        for (int ch = 0; ch < 3; ++ch) cs.ch[ch][k] = float(c.c[ch]);
        cs.weight[k] = real ? float(count[order[k]]) : 0.0f;
        for (int i = 0; i < n; ++i) cs.toEach[i][k] = float(distance(distinct[i], c));
    }
}

constexpr float kNoBound = float(1 << 30);

// The weighted error of the palette whose entries 0 and 3 are distinct colours i and j and
// whose inner entries are m1 and m2; stops as soon as the sum reaches `bound`.
float pairError(const Colours& cs, int i, int j, const Rgb& m1, const Rgb& m2, float bound) {
    const F4 m1r = splat4(float(m1.c[0])), m1g = splat4(float(m1.c[1])), m1b = splat4(float(m1.c[2]));
    const F4 m2r = splat4(float(m2.c[0])), m2g = splat4(float(m2.c[1])), m2b = splat4(float(m2.c[2]));
    auto term = [&](int g) {
        const F4 r = load4(cs.ch[0] + 4 * g), gr = load4(cs.ch[1] + 4 * g), b = load4(cs.ch[2] + 4 * g);
        const F4 d1 = square(r - m1r) + square(gr - m1g) + square(b - m1b);
        const F4 d2 = square(r - m2r) + square(gr - m2g) + square(b - m2b);
        const F4 ends = min4(load4(cs.toEach[i] + 4 * g), load4(cs.toEach[j] + 4 * g));
        return min4(ends, min4(d1, d2)) * load4(cs.weight + 4 * g);
    };
    float err = 0.0f;
    for (int g = 0; g < cs.groups; g += 2) {
        err += sum4(term(g) + term(g + 1));
        if (err >= bound) break;
    }
    return err;
}

inline Rgb inner21760(const Rgb& near, const Rgb& far) {
    Rgb m;
    for (int c = 0; c < 3; ++c) m.c[c] = ((2 * near.c[c] + far.c[c]) * 21760) >> 16;
    return m;
}

// The exhaustive pair search followed by the channel refinement; the palette with the
// smallest error, ties going to the earliest candidate.
void fourColourFit(const Rgb* distinct, const int* count, int n, Rgb palette[4]) {
    Colours cs;
    layOut(distinct, count, n, cs);

    // Scoring the two farthest colours first gives a tight bound from the start. The search
    // in its own order then accepts any error up to and including that score, so the first
    // pair reaching the smallest error still wins, this one included.
    int fi = 0, fj = 1;
    int far = -1;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (const int d = distance(distinct[i], distinct[j]); d > far) { far = d; fi = i; fj = j; }
    float best = pairError(cs, fi, fj, inner21760(distinct[fi], distinct[fj]), inner21760(distinct[fj], distinct[fi]),
                           kNoBound) + 0.5f;

    Rgb pal[4] = {};
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const Rgb m1 = inner21760(distinct[i], distinct[j]);
            const Rgb m2 = inner21760(distinct[j], distinct[i]);
            const float err = pairError(cs, i, j, m1, m2, best);
            if (err < best) {
                best = err;
                pal[0] = distinct[i];
                pal[1] = m1;
                pal[2] = m2;
                pal[3] = distinct[j];
            }
        }

    for (int c = 0; c < 3; ++c) {
        const int base0 = pal[0].c[c];
        const int base1 = pal[3].c[c];
        if (base0 == base1) continue;
        const int o1 = c == 0 ? 1 : 0, o2 = c == 2 ? 1 : 2;
        // Distances over the two channels this pass leaves alone, per palette entry.
        alignas(16) float rest[4][16];
        for (int p = 0; p < 4; ++p)
            for (int g = 0; g < cs.groups; ++g) {
                const F4 d = square(load4(cs.ch[o1] + 4 * g) - splat4(float(pal[p].c[o1]))) +
                             square(load4(cs.ch[o2] + 4 * g) - splat4(float(pal[p].c[o2])));
                std::memcpy(rest[p] + 4 * g, &d, sizeof d);
            }
        int t0s[5], t1s[5];
        int n0 = 0, n1 = 0;
        for (int t = std::max(0, base0 - 8); t <= std::min(255, base0 + 8); t += 4) t0s[n0++] = t;
        for (int t = std::max(0, base1 - 8); t <= std::min(255, base1 + 8); t += 4) t1s[n1++] = t;
        // Whole distances to the end entries for each candidate value.
        alignas(16) float end0[5][16], end1[5][16];
        for (int g = 0; g < cs.groups; ++g) {
            const F4 x = load4(cs.ch[c] + 4 * g);
            for (int a = 0; a < n0; ++a) {
                const F4 d = load4(rest[0] + 4 * g) + square(x - splat4(float(t0s[a])));
                std::memcpy(end0[a] + 4 * g, &d, sizeof d);
            }
            for (int b = 0; b < n1; ++b) {
                const F4 d = load4(rest[3] + 4 * g) + square(x - splat4(float(t1s[b])));
                std::memcpy(end1[b] + 4 * g, &d, sizeof d);
            }
        }
        for (int a = 0; a < n0; ++a)
            for (int b = 0; b < n1; ++b) {
                const int t0 = t0s[a], t1 = t1s[b];
                const int v1 = (2 * t0 + t1) / 3;
                const int v2 = (t0 + 2 * t1) / 3;
                const F4 s1 = splat4(float(v1)), s2 = splat4(float(v2));
                auto term = [&](int g) {
                    const F4 x = load4(cs.ch[c] + 4 * g);
                    const F4 d1 = load4(rest[1] + 4 * g) + square(x - s1);
                    const F4 d2 = load4(rest[2] + 4 * g) + square(x - s2);
                    const F4 ends = min4(load4(end0[a] + 4 * g), load4(end1[b] + 4 * g));
                    return min4(ends, min4(d1, d2)) * load4(cs.weight + 4 * g);
                };
                float err = 0.0f;
                for (int g = 0; g < cs.groups; g += 2) {
                    err += sum4(term(g) + term(g + 1));
                    if (err >= best) break;
                }
                if (err < best) {
                    best = err;
                    pal[0].c[c] = t0;
                    pal[1].c[c] = v1;
                    pal[2].c[c] = v2;
                    pal[3].c[c] = t1;
                }
            }
    }
    std::copy(pal, pal + 4, palette);
}

// Nearest entry, the first one winning ties.
inline int nearest(const Rgb* palette, const Rgb& c) {
    int best = 0;
    int bestDist = distance(palette[0], c);
    for (int p = 1; p < 4; ++p)
        if (const int d = distance(palette[p], c); d < bestDist) { bestDist = d; best = p; }
    return best;
}

}  // namespace

void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]) {
    std::uint64_t alpha = 0;
    Rgb source[16];
    std::uint32_t key[16];
    Rgb distinct[16];
    std::uint32_t distinctKey[16];
    int count[16];
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = pixels + 4 * i;
        alpha |= std::uint64_t(p[0] >> 4) << (4 * i);
        source[i] = {{p[1], p[2], p[3]}};
        key[i] = std::uint32_t(p[1] & 0xF8) << 16 | std::uint32_t(p[2] & 0xFC) << 8 | std::uint32_t(p[3] & 0xF8);
        int k = 0;
        while (k < n && distinctKey[k] != key[i]) ++k;
        if (k == n) {
            distinctKey[n] = key[i];
            distinct[n] = {{p[1] & 0xF8, p[2] & 0xFC, p[3] & 0xF8}};
            count[n++] = 0;
        }
        ++count[k];
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
            if (key[i] != distinctKey[0]) codes |= 1u << (2 * i);
    } else {
        // The three-colour palette is never chosen: DXT3 colour blocks are always decoded with
        // four colours, so its midpoint texels would show wrongly.
        Rgb palette[4];
        fourColourFit(distinct, count, n, palette);
        const std::uint16_t a = to565(palette[0]);
        const std::uint16_t b = to565(palette[3]);
        if (a == b) {
            color0 = a;
        } else {
            // color0 must be the greater value, which selects four-colour decoding.
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

void decodeDxt3Block(const std::uint8_t in[16], std::uint8_t pixels[64]) {
    const std::uint16_t c0 = std::uint16_t(in[8] | in[9] << 8);
    const std::uint16_t c1 = std::uint16_t(in[10] | in[11] << 8);
    int palette[4][3];
    const std::uint16_t ends[2] = {c0, c1};
    for (int e = 0; e < 2; ++e) {
        const int r = ends[e] >> 11, g = (ends[e] >> 5) & 63, b = ends[e] & 31;
        palette[e][0] = (r << 3) | (r >> 2);
        palette[e][1] = (g << 2) | (g >> 4);
        palette[e][2] = (b << 3) | (b >> 2);
    }
    for (int c = 0; c < 3; ++c) {
        palette[2][c] = (2 * palette[0][c] + palette[1][c]) / 3;
        palette[3][c] = (palette[0][c] + 2 * palette[1][c]) / 3;
    }
    const std::uint32_t codes = std::uint32_t(in[12]) | std::uint32_t(in[13]) << 8 | std::uint32_t(in[14]) << 16 |
                                std::uint32_t(in[15]) << 24;
    for (int i = 0; i < 16; ++i) {
        const int nibble = (in[i / 2] >> (4 * (i % 2))) & 15;
        const int* c = palette[(codes >> (2 * i)) & 3];
        std::uint8_t* p = pixels + 4 * i;
        p[0] = std::uint8_t(nibble * 17);
        p[1] = std::uint8_t(c[0]);
        p[2] = std::uint8_t(c[1]);
        p[3] = std::uint8_t(c[2]);
    }
}

void encodeDxt3Image(const std::uint8_t* pixels, int width, int height, std::size_t pitch, std::uint8_t* out) {
    if (width <= 0 || height <= 0 || width % 4 != 0 || height % 4 != 0) return;
    std::uint8_t block[64];
    for (int by = 0; by < height / 4; ++by)
        for (int bx = 0; bx < width / 4; ++bx) {
            for (int row = 0; row < 4; ++row)
                std::memcpy(block + 16 * row, pixels + std::size_t(4 * by + row) * pitch + 16 * std::size_t(bx), 16);
            encodeDxt3Block(block, out);
            out += kDxt3BlockBytes;
        }
}

void decodeDxt3Image(const std::uint8_t* in, int width, int height, std::uint8_t* pixels, std::size_t pitch) {
    if (width <= 0 || height <= 0 || width % 4 != 0 || height % 4 != 0) return;
    std::uint8_t block[64];
    for (int by = 0; by < height / 4; ++by)
        for (int bx = 0; bx < width / 4; ++bx) {
            decodeDxt3Block(in, block);
            in += kDxt3BlockBytes;
            for (int row = 0; row < 4; ++row)
                std::memcpy(pixels + std::size_t(4 * by + row) * pitch + 16 * std::size_t(bx), block + 16 * row, 16);
        }
}

}  // namespace lnd
