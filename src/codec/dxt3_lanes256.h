// Sixteen lanes in one 256-bit register, for the units built for AVX2 and wider: each unit
// includes this after choosing its instruction set, so each gets its own copy built for it.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "codec/dxt3_fit_impl.h"

namespace lnd::dxt3 {
namespace {

struct Lanes256 {
    __m256i v;

    static Lanes256 load(const std::uint16_t* p) { return {_mm256_load_si256(reinterpret_cast<const __m256i*>(p))}; }
    static Lanes256 splat(int x) { return {_mm256_set1_epi16(short(x))}; }
    static void store(std::uint16_t* p, Lanes256 a) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), a.v); }
    static Lanes256 add(Lanes256 a, Lanes256 b) { return {_mm256_add_epi16(a.v, b.v)}; }
    static Lanes256 mulhiU(Lanes256 a, Lanes256 b) { return {_mm256_mulhi_epu16(a.v, b.v)}; }
    static Lanes256 splatAt(const std::uint16_t* p) { return {_mm256_set1_epi16(short(*p))}; }
    // Always a broadcast from memory: values just stored from a register would otherwise be
    // taken out of it lane by lane, three instructions each instead of one.
    static Lanes256 splatStored(const std::uint16_t* p) {
        __m256i v;
        __asm__("vpbroadcastw %1, %0" : "=x"(v) : "m"(*p));
        return {v};
    }
    static Lanes256 sub(Lanes256 a, Lanes256 b) { return {_mm256_sub_epi16(a.v, b.v)}; }
    static Lanes256 square(Lanes256 a) { return {_mm256_mullo_epi16(a.v, a.v)}; }
    static Lanes256 addSat(Lanes256 a, Lanes256 b) { return {_mm256_adds_epu16(a.v, b.v)}; }
    static Lanes256 minU(Lanes256 a, Lanes256 b) { return {_mm256_min_epu16(a.v, b.v)}; }
    static bool anyWide(Lanes256 a) { return (unsigned(_mm256_movemask_epi8(a.v)) & 0xAAAAAAAAu) != 0; }
    static bool anySaturated(Lanes256 a) { return _mm256_movemask_epi8(_mm256_cmpeq_epi16(a.v, _mm256_set1_epi16(-1))) != 0; }
    // Two rows of four pixels.
    static __m256i byteOf8(const std::uint8_t* pixels, std::size_t pitch, int at) {
        const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels))),
                                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + pitch)), 1);
        return _mm256_and_si256(_mm256_srl_epi32(v, _mm_cvtsi32_si128(8 * at)), _mm256_set1_epi32(0xFF));
    }
    // The pack works within 128-bit halves; the permute restores pixel order.
    static Lanes256 byteOf(const std::uint8_t* pixels, std::size_t pitch, int at) {
        return {_mm256_permute4x64_epi64(_mm256_packs_epi32(byteOf8(pixels, pitch, at), byteOf8(pixels + 2 * pitch, pitch, at)), 0xD8)};
    }
    // The explicit alpha of a block: the top four bits of each pixel's alpha byte, pixel 0 in
    // the lowest nibble.
    static std::uint64_t alphaNibbles(const std::uint8_t* pixels, std::size_t pitch) {
        // Two rows at a time: each 64-bit lane holds two pixels, whose nibbles end up together
        // in its lowest byte.
        auto twoRows = [pitch](const std::uint8_t* p) {
            const __m256i rows = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pitch)), 1);
            const __m256i top = _mm256_and_si256(rows, _mm256_set1_epi32(0xF0));
            return _mm256_or_si256(_mm256_srli_epi64(top, 4), _mm256_srli_epi64(top, 32));
        };
        // Rows 0 and 1 in the low byte of each lane, rows 2 and 3 in the byte above.
        const __m256i both = _mm256_or_si256(twoRows(pixels), _mm256_slli_epi64(twoRows(pixels + 2 * pitch), 8));
        const __m256i gathered = _mm256_shuffle_epi8(
            both, _mm256_setr_epi8(0, 8, 1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 8, 1, 9, -1, -1, -1, -1, -1,
                                   -1, -1, -1, -1, -1, -1, -1));
        // Bytes 0, 1, 4, 5 of the block in the low half and 2, 3, 6, 7 in the high one.
        return std::uint64_t(_mm_cvtsi128_si64(_mm_unpacklo_epi16(_mm256_castsi256_si128(gathered), _mm256_extracti128_si256(gathered, 1))));
    }
#if defined(LND_DXT3_LANES_AVX512)
    // The distinct colours of a block in order of first appearance (quantised channels in
    // lanes[0..2], pixel counts in lanes[3]); returns how many. A colour is new where no earlier
    // pixel has its key, and its count is one more than the later pixels that do.
    // (The masked forms, with every lane kept, because GCC 12 warns that the plain ones read
    // an undefined register.)
    static int distinctColours(Lanes256 key, const Lanes256* q, std::uint16_t (&lanes)[4][16]) {
        constexpr __mmask16 kAll = 0xFFFF;
        const __m512i reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        const __m512i keys = _mm512_maskz_cvtepu16_epi32(kAll, key.v);
        const __m512i earlier = _mm512_conflict_epi32(keys);
        const __mmask16 first = _mm512_testn_epi32_mask(earlier, earlier);
        const __m512i later = _mm512_maskz_permutexvar_epi32(
            kAll, reverse, _mm512_conflict_epi32(_mm512_maskz_permutexvar_epi32(kAll, reverse, keys)));
        for (int c = 0; c < 3; ++c)
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[c]),
                               _mm512_maskz_cvtepi32_epi16(kAll, _mm512_maskz_compress_epi32(first, _mm512_maskz_cvtepu16_epi32(kAll, q[c].v))));
        alignas(64) std::uint32_t laterOf[16];
        _mm512_store_si512(laterOf, _mm512_maskz_compress_epi32(first, later));
        const int n = __builtin_popcount(first);
        for (int k = 0; k < n; ++k) lanes[3][k] = std::uint16_t(1 + __builtin_popcount(laterOf[k]));
        return n;
    }
#endif
    static Lanes256 andBits(Lanes256 a, Lanes256 b) { return {_mm256_and_si256(a.v, b.v)}; }
    template <int s>
    static Lanes256 shiftLeft(Lanes256 a) { return {_mm256_slli_epi16(a.v, s)}; }
    template <int s>
    static Lanes256 shiftRight(Lanes256 a) { return {_mm256_srli_epi16(a.v, s)}; }
    static Lanes256 equal(Lanes256 a, Lanes256 b) { return {_mm256_cmpeq_epi16(a.v, b.v)}; }
    // a < b exactly when the minimum of the two is not b.
    static Lanes256 below(Lanes256 a, Lanes256 b) {
        return {_mm256_xor_si256(_mm256_cmpeq_epi16(_mm256_min_epu16(a.v, b.v), b.v), _mm256_set1_epi16(-1))};
    }
    static std::uint32_t bits(Lanes256 a) {
        return std::uint32_t(_mm_movemask_epi8(_mm_packs_epi16(_mm256_castsi256_si128(a.v), _mm256_extracti128_si256(a.v, 1))));
    }
    static Lanes256 orBits(Lanes256 a, Lanes256 b) { return {_mm256_or_si256(a.v, b.v)}; }
    struct Least {
        __m256i sum, at;
    };
    static Least leastOf(int sum, int at) { return {_mm256_set1_epi32(sum), _mm256_set1_epi32(at)}; }
    // Eight weighted sums at once (a tree of pairwise horizontal additions), each kept where
    // it is strictly below the least so far in its position.
    static void keepLeast(Least& l, const Lanes256* a, Lanes256 w, int at) {
        __m256i p[8];
        for (int k = 0; k < 8; ++k) p[k] = _mm256_madd_epi16(a[k].v, w.v);
        const __m256i q0 = _mm256_hadd_epi32(_mm256_hadd_epi32(p[0], p[1]), _mm256_hadd_epi32(p[2], p[3]));
        const __m256i q1 = _mm256_hadd_epi32(_mm256_hadd_epi32(p[4], p[5]), _mm256_hadd_epi32(p[6], p[7]));
        const __m256i s = _mm256_add_epi32(_mm256_permute2x128_si256(q0, q1, 0x20), _mm256_permute2x128_si256(q0, q1, 0x31));
        const __m256i less = _mm256_cmpgt_epi32(l.sum, s);
        l.sum = _mm256_min_epi32(l.sum, s);
        l.at = _mm256_blendv_epi8(l.at, _mm256_add_epi32(_mm256_set1_epi32(at), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)), less);
    }
    static void storeLeast(const Least& l, int* sums, int* ats) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), l.sum);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ats), l.at);
    }
    // The least sum of all positions and the earliest index among those that reach it, in
    // registers: the sums folded to their minimum, the indices of other sums made too large.
    static void reduceLeast(const Least& l, int& best, int& at) {
        __m256i m = _mm256_min_epi32(l.sum, _mm256_permute2x128_si256(l.sum, l.sum, 0x01));
        m = _mm256_min_epi32(m, _mm256_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
        m = _mm256_min_epi32(m, _mm256_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
        __m256i a = _mm256_blendv_epi8(_mm256_set1_epi32(1 << 30), l.at, _mm256_cmpeq_epi32(l.sum, m));
        a = _mm256_min_epi32(a, _mm256_permute2x128_si256(a, a, 0x01));
        a = _mm256_min_epi32(a, _mm256_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)));
        a = _mm256_min_epi32(a, _mm256_shuffle_epi32(a, _MM_SHUFFLE(2, 3, 0, 1)));
        best = _mm256_cvtsi256_si32(m);
        at = _mm256_cvtsi256_si32(a);
    }
    // The multiply-add reads lanes as signed: lanes of 32768 and more come back as their top
    // bits times the weights, 65536 each.
    static int weightedSumWide(Lanes256 a, Lanes256 w) {
        return weightedSum(a, w) + 65536 * weightedSum({_mm256_srli_epi16(a.v, 15)}, w);
    }
    static int weightedSum(Lanes256 a, Lanes256 w) {
        const __m256i p = _mm256_madd_epi16(a.v, w.v);
        __m128i s = _mm_add_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_cvtsi128_si32(s);
    }
};

}  // namespace
}  // namespace lnd::dxt3
