// The baseline variants of the four-colour fit: plain C++ and SSE2.
#include "codec/dxt3_fit.h"

#include "codec/dxt3_fit_impl.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lnd::dxt3 {

namespace {

// Sixteen lanes in plain integers, for hosts without vector instructions.
struct LanesPortable {
    std::uint16_t v[16];

    static LanesPortable load(const std::uint16_t* p) {
        LanesPortable r;
        for (int k = 0; k < 16; ++k) r.v[k] = p[k];
        return r;
    }
    static LanesPortable splat(int x) {
        LanesPortable r;
        for (auto& e : r.v) e = std::uint16_t(x);
        return r;
    }
    static void store(std::uint16_t* p, LanesPortable a) {
        for (int k = 0; k < 16; ++k) p[k] = a.v[k];
    }
    static LanesPortable add(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = std::uint16_t(a.v[k] + b.v[k]);
        return a;
    }
    static LanesPortable mulhiU(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = std::uint16_t(std::uint32_t(a.v[k]) * b.v[k] >> 16);
        return a;
    }
    static LanesPortable splatAt(const std::uint16_t* p) { return splat(*p); }
    static LanesPortable sub(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = std::uint16_t(a.v[k] - b.v[k]);
        return a;
    }
    // A wrapped difference squares to the true square modulo 2^16, exact for bytes.
    static LanesPortable square(LanesPortable a) {
        for (auto& e : a.v) e = std::uint16_t(std::uint32_t(e) * e);
        return a;
    }
    static LanesPortable addSat(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) {
            const std::uint32_t s = std::uint32_t(a.v[k]) + b.v[k];
            a.v[k] = std::uint16_t(s > 65535 ? 65535 : s);
        }
        return a;
    }
    static LanesPortable minU(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = b.v[k] < a.v[k] ? b.v[k] : a.v[k];
        return a;
    }
    static bool anyWide(LanesPortable a) {
        for (auto e : a.v)
            if (e >= kWideLane) return true;
        return false;
    }
    static bool anySaturated(LanesPortable a) {
        for (auto e : a.v)
            if (e == kSaturated) return true;
        return false;
    }
    // Byte `at` of each of 4 x 4 four-byte pixels, rows `pitch` bytes apart.
    static LanesPortable byteOf(const std::uint8_t* pixels, std::size_t pitch, int at) {
        LanesPortable r;
        for (int k = 0; k < 16; ++k) r.v[k] = pixels[std::size_t(k / 4) * pitch + std::size_t(4 * (k % 4) + at)];
        return r;
    }
    static LanesPortable andBits(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = std::uint16_t(a.v[k] & b.v[k]);
        return a;
    }
    template <int s>
    static LanesPortable shiftLeft(LanesPortable a) {
        for (auto& e : a.v) e = std::uint16_t(e << s);
        return a;
    }
    template <int s>
    static LanesPortable shiftRight(LanesPortable a) {
        for (auto& e : a.v) e = std::uint16_t(e >> s);
        return a;
    }
    // Lanes of all ones where a equals b, or where a is below b.
    static LanesPortable equal(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = a.v[k] == b.v[k] ? 0xFFFF : 0;
        return a;
    }
    static LanesPortable below(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = a.v[k] < b.v[k] ? 0xFFFF : 0;
        return a;
    }
    // One bit per lane of a mask.
    static std::uint32_t bits(LanesPortable a) {
        std::uint32_t m = 0;
        for (int k = 0; k < 16; ++k) m |= std::uint32_t(a.v[k] >> 15) << k;
        return m;
    }
    static LanesPortable orBits(LanesPortable a, LanesPortable b) {
        for (int k = 0; k < 16; ++k) a.v[k] = std::uint16_t(a.v[k] | b.v[k]);
        return a;
    }
    static int weightedSum(LanesPortable a, LanesPortable w) {
        int s = 0;
        for (int k = 0; k < 16; ++k) s += int(a.v[k]) * int(w.v[k]);
        return s;
    }
    static int weightedSumWide(LanesPortable a, LanesPortable w) { return weightedSum(a, w); }
    // For each batch position, the least weighted sum so far and the list index that first
    // reached it.
    struct Least {
        int sum[kBatch];
        int at[kBatch];
    };
    static Least leastOf(int sum, int at) {
        Least l;
        for (int k = 0; k < kBatch; ++k) l.sum[k] = sum, l.at[k] = at;
        return l;
    }
    static void keepLeast(Least& l, const LanesPortable* a, LanesPortable w, int at) {
        for (int k = 0; k < kBatch; ++k) {
            const int s = weightedSum(a[k], w);
            if (s < l.sum[k]) l.sum[k] = s, l.at[k] = at + k;
        }
    }
    static void storeLeast(const Least& l, int* sums, int* ats) {
        for (int k = 0; k < kBatch; ++k) sums[k] = l.sum[k], ats[k] = l.at[k];
    }
};

#if defined(__SSE2__)
// Sixteen lanes in two SSE2 registers.
struct LanesSse2 {
    __m128i lo, hi;

    static LanesSse2 load(const std::uint16_t* p) {
        return {_mm_load_si128(reinterpret_cast<const __m128i*>(p)), _mm_load_si128(reinterpret_cast<const __m128i*>(p + 8))};
    }
    static LanesSse2 splat(int x) {
        const __m128i v = _mm_set1_epi16(short(x));
        return {v, v};
    }
    static void store(std::uint16_t* p, LanesSse2 a) {
        _mm_store_si128(reinterpret_cast<__m128i*>(p), a.lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + 8), a.hi);
    }
    static LanesSse2 add(LanesSse2 a, LanesSse2 b) { return {_mm_add_epi16(a.lo, b.lo), _mm_add_epi16(a.hi, b.hi)}; }
    static LanesSse2 mulhiU(LanesSse2 a, LanesSse2 b) { return {_mm_mulhi_epu16(a.lo, b.lo), _mm_mulhi_epu16(a.hi, b.hi)}; }
    static LanesSse2 splatAt(const std::uint16_t* p) { return splat(*p); }
    static LanesSse2 sub(LanesSse2 a, LanesSse2 b) { return {_mm_sub_epi16(a.lo, b.lo), _mm_sub_epi16(a.hi, b.hi)}; }
    static LanesSse2 square(LanesSse2 a) { return {_mm_mullo_epi16(a.lo, a.lo), _mm_mullo_epi16(a.hi, a.hi)}; }
    static LanesSse2 addSat(LanesSse2 a, LanesSse2 b) { return {_mm_adds_epu16(a.lo, b.lo), _mm_adds_epu16(a.hi, b.hi)}; }
    // SSE2 has no unsigned 16-bit minimum: a - max(a - b, 0) is one.
    static LanesSse2 minU(LanesSse2 a, LanesSse2 b) {
        return {_mm_sub_epi16(a.lo, _mm_subs_epu16(a.lo, b.lo)), _mm_sub_epi16(a.hi, _mm_subs_epu16(a.hi, b.hi))};
    }
    static bool anyWide(LanesSse2 a) { return (_mm_movemask_epi8(_mm_or_si128(a.lo, a.hi)) & 0xAAAA) != 0; }
    static bool anySaturated(LanesSse2 a) {
        const __m128i full = _mm_set1_epi16(-1);
        return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(a.lo, full), _mm_cmpeq_epi16(a.hi, full))) != 0;
    }
    static __m128i byteOf4(const std::uint8_t* pixels, int at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        return _mm_and_si128(_mm_srl_epi32(v, _mm_cvtsi32_si128(8 * at)), _mm_set1_epi32(0xFF));
    }
    static LanesSse2 byteOf(const std::uint8_t* pixels, std::size_t pitch, int at) {
        return {_mm_packs_epi32(byteOf4(pixels, at), byteOf4(pixels + pitch, at)),
                _mm_packs_epi32(byteOf4(pixels + 2 * pitch, at), byteOf4(pixels + 3 * pitch, at))};
    }
    static LanesSse2 andBits(LanesSse2 a, LanesSse2 b) { return {_mm_and_si128(a.lo, b.lo), _mm_and_si128(a.hi, b.hi)}; }
    template <int s>
    static LanesSse2 shiftLeft(LanesSse2 a) { return {_mm_slli_epi16(a.lo, s), _mm_slli_epi16(a.hi, s)}; }
    template <int s>
    static LanesSse2 shiftRight(LanesSse2 a) { return {_mm_srli_epi16(a.lo, s), _mm_srli_epi16(a.hi, s)}; }
    static LanesSse2 equal(LanesSse2 a, LanesSse2 b) { return {_mm_cmpeq_epi16(a.lo, b.lo), _mm_cmpeq_epi16(a.hi, b.hi)}; }
    // a < b exactly when b - a does not saturate to zero.
    static LanesSse2 below(LanesSse2 a, LanesSse2 b) {
        const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi16(-1);
        return {_mm_xor_si128(_mm_cmpeq_epi16(_mm_subs_epu16(b.lo, a.lo), zero), ones),
                _mm_xor_si128(_mm_cmpeq_epi16(_mm_subs_epu16(b.hi, a.hi), zero), ones)};
    }
    static std::uint32_t bits(LanesSse2 a) { return std::uint32_t(_mm_movemask_epi8(_mm_packs_epi16(a.lo, a.hi))); }
    static LanesSse2 orBits(LanesSse2 a, LanesSse2 b) { return {_mm_or_si128(a.lo, b.lo), _mm_or_si128(a.hi, b.hi)}; }
    // The multiply-add reads lanes as signed: lanes of 32768 and more come back as their top
    // bits times the weights, 65536 each.
    static int weightedSumWide(LanesSse2 a, LanesSse2 w) {
        return weightedSum(a, w) + 65536 * weightedSum({_mm_srli_epi16(a.lo, 15), _mm_srli_epi16(a.hi, 15)}, w);
    }
    static int weightedSum(LanesSse2 a, LanesSse2 w) {
        __m128i s = _mm_add_epi32(_mm_madd_epi16(a.lo, w.lo), _mm_madd_epi16(a.hi, w.hi));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_cvtsi128_si32(s);
    }
    // Four weighted sums at once: the partial sums are transposed and added.
    static __m128i fourSums(const LanesSse2* a, LanesSse2 w) {
        __m128i p[4];
        for (int k = 0; k < 4; ++k) p[k] = _mm_add_epi32(_mm_madd_epi16(a[k].lo, w.lo), _mm_madd_epi16(a[k].hi, w.hi));
        const __m128i u0 = _mm_add_epi32(_mm_unpacklo_epi32(p[0], p[1]), _mm_unpackhi_epi32(p[0], p[1]));
        const __m128i u1 = _mm_add_epi32(_mm_unpacklo_epi32(p[2], p[3]), _mm_unpackhi_epi32(p[2], p[3]));
        return _mm_add_epi32(_mm_unpacklo_epi64(u0, u1), _mm_unpackhi_epi64(u0, u1));
    }
    struct Least {
        __m128i sum[2], at[2];
    };
    static Least leastOf(int sum, int at) {
        const __m128i s = _mm_set1_epi32(sum), a = _mm_set1_epi32(at);
        return {{s, s}, {a, a}};
    }
    // Keeps, in each position, the strictly smaller sum and its index: SSE2 blends by masks.
    static void keepLeast(Least& l, const LanesSse2* a, LanesSse2 w, int at) {
        const __m128i s[2] = {fourSums(a, w), fourSums(a + 4, w)};
        const __m128i base = _mm_set1_epi32(at);
        const __m128i index[2] = {_mm_add_epi32(base, _mm_setr_epi32(0, 1, 2, 3)), _mm_add_epi32(base, _mm_setr_epi32(4, 5, 6, 7))};
        for (int h = 0; h < 2; ++h) {
            const __m128i less = _mm_cmpgt_epi32(l.sum[h], s[h]);
            l.sum[h] = _mm_or_si128(_mm_and_si128(less, s[h]), _mm_andnot_si128(less, l.sum[h]));
            l.at[h] = _mm_or_si128(_mm_and_si128(less, index[h]), _mm_andnot_si128(less, l.at[h]));
        }
    }
    static void storeLeast(const Least& l, int* sums, int* ats) {
        for (int h = 0; h < 2; ++h) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * h), l.sum[h]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(ats + 4 * h), l.at[h]);
        }
    }
};
#endif

}  // namespace

void fourColourFitPortable(const int* colours, const int* count, int n, int* palette) {
    fourColourFit<LanesPortable>(colours, count, n, palette);
}

void encodeBlockPortable(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out) {
    encodeBlock<LanesPortable>(pixels, pitch, out);
}

#if defined(__SSE2__)
void fourColourFitSse2(const int* colours, const int* count, int n, int* palette) {
    fourColourFit<LanesSse2>(colours, count, n, palette);
}

void encodeBlockSse2(const std::uint8_t* pixels, std::size_t pitch, std::uint8_t* out) {
    encodeBlock<LanesSse2>(pixels, pitch, out);
}
#endif

}  // namespace lnd::dxt3
