#include "codec/dxt3.h"

#include "codec/dxt3_fit.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace lnd {

#if defined(LND_DXT3_HAVE_AVX2)
bool dxt3::hostHasAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

bool dxt3::hostHasAvx512() {
    return hostHasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512cd");
}

bool dxt3::hostRunsAvx512() {
    const char* off = std::getenv("LND_DXT3_NO_AVX512");
    if (off && *off) return false;
    return hostHasAvx512();
}
#endif

namespace {

using BlockEncoder = void (*)(const std::uint8_t*, std::size_t, std::uint8_t*);

// The widest variant this processor runs; all of them give the same bytes.
BlockEncoder chooseEncoder() {
#if defined(LND_DXT3_HAVE_AVX2)
    if (dxt3::hostRunsAvx512()) return dxt3::encodeBlockAvx512;
    if (dxt3::hostHasAvx2()) return dxt3::encodeBlockAvx2;
#endif
#if defined(__SSE2__)
    return dxt3::encodeBlockSse2;
#else
    return dxt3::encodeBlockPortable;
#endif
}

BlockEncoder blockEncoder() {
    static const BlockEncoder encode = chooseEncoder();
    return encode;
}

bool encodable(const Dxt3Image& image) {
    return image.pixels && image.out && image.width > 0 && image.height > 0 && image.width % 4 == 0 &&
           image.height % 4 == 0;
}

void encodeRow(BlockEncoder encode, const Dxt3Image& image, int by) {
    const std::uint8_t* src = image.pixels + std::size_t(4 * by) * image.pitch;
    std::uint8_t* out = image.out + std::size_t(by) * std::size_t(image.width / 4) * kDxt3BlockBytes;
    for (int bx = 0; bx < image.width / 4; ++bx, out += kDxt3BlockBytes) encode(src + 16 * std::size_t(bx), image.pitch, out);
}

// Below this many blocks per thread (about a quarter of a millisecond of work) starting a
// thread costs more than it saves.
constexpr std::size_t kMinBlocksPerThread = 256;

int threadsFor(std::size_t blocks, int requested) {
    if (requested > 0) return std::min(requested, kDxt3MaxThreads);
    const int hardware = int(std::min<unsigned>(std::thread::hardware_concurrency(), kDxt3MaxThreads));
    const std::size_t worthwhile = blocks / kMinBlocksPerThread;
    return int(std::max<std::size_t>(1, std::min<std::size_t>(std::size_t(std::max(hardware, 1)), worthwhile)));
}

}  // namespace

void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]) {
    blockEncoder()(pixels, 16, out);
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

void encodeDxt3Image(const std::uint8_t* pixels, int width, int height, std::size_t pitch, std::uint8_t* out,
                     int threads) {
    const Dxt3Image image{pixels, width, height, pitch, out};
    encodeDxt3Images(std::span(&image, 1), threads);
}

void encodeDxt3Images(std::span<const Dxt3Image> images, int threads) {
    // Rows of blocks of all the images, numbered one image after the other.
    std::vector<const Dxt3Image*> todo;
    std::vector<int> firstRow{0};
    std::size_t blocks = 0;
    for (const Dxt3Image& image : images)
        if (encodable(image)) {
            todo.push_back(&image);
            firstRow.push_back(firstRow.back() + image.height / 4);
            blocks += std::size_t(image.width / 4) * std::size_t(image.height / 4);
        }
    if (todo.empty()) return;
    const BlockEncoder encode = blockEncoder();
    const int rows = firstRow.back();
    const int count = std::min(threadsFor(blocks, threads), rows);
    if (count <= 1) {
        for (const Dxt3Image* image : todo)
            for (int by = 0; by < image->height / 4; ++by) encodeRow(encode, *image, by);
        return;
    }
    // Rows are handed out one at a time as threads come free: blocks differ in cost, and a
    // thread may be slowed by other work on the machine. Each row has its fixed place in the
    // output, so the bytes do not depend on which thread encodes it.
    std::atomic<int> next{0};
    auto work = [&] {
        std::size_t at = 0;
        for (int row = next.fetch_add(1, std::memory_order_relaxed); row < rows;
             row = next.fetch_add(1, std::memory_order_relaxed)) {
            while (firstRow[at + 1] <= row) ++at;
            encodeRow(encode, *todo[at], row - firstRow[at]);
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(std::size_t(count - 1));
        try {
            for (int t = 1; t < count; ++t) helpers.emplace_back(work);
        } catch (const std::system_error&) {
            // Fewer threads than asked for: the rows left over go to those running.
        }
        work();
    }  // the helpers are joined here
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
