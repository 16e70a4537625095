#include "codec/dds.h"
#include "land/lores_record.h"
#include "d3dframework/texture.h"

#include "format/lnd_file.h"
#include "support/land_builder.h"
#include "codec/dxt3.h"
#include "codec/image_readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

using namespace lnd;

namespace {

// Surface bytes of texel (x, y) of a test pattern: blue, green, red, alpha.
std::array<std::uint8_t, 4> pattern(int x, int y) {
    return {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y), std::uint8_t(255 - x)};
}

std::vector<std::uint8_t> argbImage(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> img(kDdsFileHeaderBytes + std::size_t(w) * h * 4);
    writeDdsHeader(img.data(), DdsKind::Bgra32, w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const auto t = pattern(int(x), int(y));
            std::memcpy(&img[kDdsFileHeaderBytes + (std::size_t(y) * w + x) * 4], t.data(), 4);
        }
    return img;
}

std::unique_ptr<DeviceTexture> fromImage(const std::vector<std::uint8_t>& img) {
    std::unique_ptr<DeviceTexture> t;
    EXPECT_EQ(createTextureFromMemory(img.data(), img.size(), t), kDeviceOk);
    return t;
}

// A low-resolution record of the land file, its DXT3 data filled with noise bytes.
std::vector<std::uint8_t> loResImage(std::uint32_t seed) {
    TLndLoResTex record{};
    initLoResRecord(record);
    for (std::size_t k = 0; k < kLoResDataSize; ++k) record.Data[k] = std::uint8_t((k * 2654435761u + seed) >> 13);
    std::vector<std::uint8_t> img(reinterpret_cast<std::uint8_t*>(&record) + kDdsImageOffset,
                                  reinterpret_cast<std::uint8_t*>(&record) + sizeof record);
    std::memcpy(img.data(), kDdsMagic, 4);
    return img;
}

const std::uint8_t* texel(const DeviceTexture& t, int x, int y) {
    return t.levelBytes(0) + std::size_t(y) * t.levelPitch(0) + std::size_t(x) * 4;
}

}  // namespace

TEST(DeviceTextureCreate, LowResolutionRecordKeepsItsBlocksExactly) {
    const auto img = loResImage(1);
    ASSERT_EQ(img.size(), std::size_t(kDdsImageSize));
    auto t = fromImage(img);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->format(), TextureFormat::Dxt3);
    EXPECT_EQ(t->width(), 256u);
    EXPECT_EQ(t->levelCount(), 9u);
    EXPECT_EQ(t->levelPitch(0), 1024u);
    EXPECT_EQ(t->levelByteSize(8), 16u);   // 1 x 1 still takes a whole block
    ASSERT_EQ(t->levelByteSize(0), kLoResDataSize);
    EXPECT_EQ(std::memcmp(t->levelBytes(0), img.data() + kDdsFileHeaderBytes, kLoResDataSize), 0);

    SurfaceDesc d;
    ASSERT_EQ(t->levelDesc(0, d), kDeviceOk);
    EXPECT_EQ(std::uint32_t(d.format), 0x33545844u);
    EXPECT_EQ(d.size, 65536u);
    EXPECT_EQ(t->levelDesc(9, d), kDeviceInvalidCall);

    LockedRect lr;
    ASSERT_EQ(t->lockRect(0, lr, nullptr, LockMode::ReadOnly), kDeviceOk);
    EXPECT_EQ(lr.pitch, 1024);
    EXPECT_EQ(std::memcmp(lr.bits, img.data() + kDdsFileHeaderBytes, kLoResDataSize), 0);
    EXPECT_EQ(t->unlockRect(0), kDeviceOk);
}

TEST(DeviceTextureCreate, BlockImageOfTheSynthesis) {
    auto img = argbImage(256, 256);
    ASSERT_EQ(img.size(), kDdsArgb256Bytes);
    auto t = fromImage(img);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->format(), TextureFormat::A8R8G8B8);
    EXPECT_EQ(t->levelPitch(0), 1024u);
    EXPECT_EQ(std::memcmp(texel(*t, 200, 17), pattern(200, 17).data(), 4), 0);
    std::vector<std::uint8_t> argb;
    ASSERT_EQ(readLevel0Argb(*t, argb), kDeviceOk);
    const std::uint8_t* p = &argb[(17 * 256 + 200) * 4];
    EXPECT_EQ(p[0], 55);       // alpha
    EXPECT_EQ(p[1], 200 ^ 17); // red
    EXPECT_EQ(p[3], 200);      // blue
}

TEST(DeviceTextureCreate, BadImagesAreRefused) {
    const auto good = argbImage(8, 4);
    std::unique_ptr<DeviceTexture> t;
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(createTextureFromMemory(good.data(), n, t), kDeviceInvalidData) << n;
    EXPECT_EQ(createTextureFromMemory(nullptr, 1000, t), kDeviceInvalidData);
    const auto edit = [&](std::size_t offset, std::uint32_t value) {
        auto img = good;
        storeU32(img.data() + offset, value);
        return createTextureFromMemory(img.data(), img.size(), t);
    };
    EXPECT_EQ(edit(0, 0x20534444u + 1), kDeviceInvalidData);   // magic
    EXPECT_EQ(edit(12, 0), kDeviceInvalidData);                // height
    EXPECT_EQ(edit(16, 1u << 20), kDeviceInvalidData);         // width
    EXPECT_EQ(edit(88, 24), kDeviceInvalidData);               // 24-bit texels
    EXPECT_EQ(edit(104, 0), kDeviceInvalidData);               // no alpha
    EXPECT_EQ(edit(80, 0x4), kDeviceInvalidData);              // four-character code, not DXT3
    EXPECT_FALSE(t);
    // A trailing byte and extra levels in the image are harmless.
    auto longer = good;
    longer.push_back(0);
    EXPECT_EQ(createTextureFromMemory(longer.data(), longer.size(), t), kDeviceOk);
}

TEST(DeviceTextureLocks, PitchRectanglesAndDirtyBookkeeping) {
    auto t = fromImage(argbImage(64, 32));
    t->clearDirty();
    const auto c0 = t->changeCount();
    LockedRect lr;
    const Rect r{8, 4, 16, 12};
    ASSERT_EQ(t->lockRect(0, lr, &r, LockMode::ReadOnly), kDeviceOk);
    EXPECT_EQ(lr.pitch, 256);
    EXPECT_EQ(std::memcmp(lr.bits, pattern(8, 4).data(), 4), 0);
    EXPECT_EQ(t->lockRect(0, lr, nullptr, LockMode::ReadOnly), kDeviceInvalidCall);
    EXPECT_EQ(t->unlockRect(0), kDeviceOk);
    EXPECT_EQ(t->unlockRect(0), kDeviceInvalidCall);
    EXPECT_EQ(t->changeCount(), c0);
    EXPECT_TRUE(t->dirtyRects().empty());

    ASSERT_EQ(t->lockRect(0, lr, &r, LockMode::ReadWrite), kDeviceOk);
    lr.bits[lr.pitch + 4] = 0xEE;   // texel (9, 5)
    ASSERT_EQ(t->unlockRect(0), kDeviceOk);
    EXPECT_GT(t->changeCount(), c0);
    ASSERT_EQ(t->dirtyRects().size(), 1u);
    EXPECT_EQ(t->dirtyRects()[0], r);
    EXPECT_EQ(texel(*t, 9, 5)[0], 0xEE);

    const Rect outside{60, 0, 65, 4};
    EXPECT_EQ(t->lockRect(0, lr, &outside, LockMode::ReadOnly), kDeviceInvalidCall);
    const Rect empty{3, 3, 3, 9};
    EXPECT_EQ(t->addDirtyRect(&empty), kDeviceInvalidCall);
    EXPECT_EQ(t->lockRect(6, lr, nullptr, LockMode::ReadOnly), kDeviceOk);   // 1 x 1 level
    EXPECT_EQ(t->unlockRect(6), kDeviceOk);
    EXPECT_EQ(t->lockRect(7, lr, nullptr, LockMode::ReadOnly), kDeviceInvalidCall);

    // Many small changes fold into one upload of the whole level.
    for (int k = 0; k < 100; ++k) {
        const Rect one{k % 64, k % 32, k % 64 + 1, k % 32 + 1};
        ASSERT_EQ(t->addDirtyRect(&one), kDeviceOk);
    }
    ASSERT_EQ(t->dirtyRects().size(), 1u);
    EXPECT_EQ(t->dirtyRects()[0], (Rect{0, 0, 64, 32}));
}

TEST(DeviceTextureLocks, Dxt3LocksHandOutWholeBlocks) {
    auto t = fromImage(loResImage(2));
    t->clearDirty();
    LockedRect lr;
    const Rect unaligned{2, 0, 8, 8};
    EXPECT_EQ(t->lockRect(0, lr, &unaligned, LockMode::ReadOnly), kDeviceInvalidCall);
    const Rect tile{64, 128, 128, 192};
    ASSERT_EQ(t->lockRect(0, lr, &tile, LockMode::ReadOnly), kDeviceOk);
    EXPECT_EQ(lr.bits, t->levelBytes(0) + 32 * 1024 + 16 * 16);
    ASSERT_EQ(t->unlockRect(0), kDeviceOk);
    const Rect odd{5, 5, 7, 9};
    ASSERT_EQ(t->addDirtyRect(&odd), kDeviceOk);
    EXPECT_EQ(t->dirtyRects()[0], (Rect{4, 4, 8, 12}));
}

TEST(DeviceTextureCopy, PointSampledScaleIntoARectangle) {
    auto src = fromImage(argbImage(256, 256));
    std::vector<std::uint8_t> blank(kDdsFileHeaderBytes + 256 * 256 * 4, 0x11);
    writeDdsHeader(blank.data(), DdsKind::Bgra32, 256, 256);
    auto dst = fromImage(blank);
    dst->clearDirty();
    const Rect tile{64, 128, 128, 192};
    ASSERT_EQ(loadSurfaceFromSurface(*dst, 0, &tile, *src, 0, nullptr, TextureFilter::Point), kDeviceOk);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(std::memcmp(texel(*dst, 64 + x, 128 + y), pattern(4 * x + 2, 4 * y + 2).data(), 4), 0) << x << "," << y;
    EXPECT_EQ(texel(*dst, 63, 128)[0], 0x11);
    EXPECT_EQ(texel(*dst, 128, 191)[0], 0x11);
    EXPECT_EQ(texel(*dst, 64, 192)[0], 0x11);
    ASSERT_EQ(dst->dirtyRects().size(), 1u);
    EXPECT_EQ(dst->dirtyRects()[0], tile);

    // Enlarging repeats texels; a source rectangle picks the part.
    const Rect part{10, 20, 12, 21};
    const Rect big{0, 0, 4, 2};
    ASSERT_EQ(loadSurfaceFromSurface(*dst, 0, &big, *src, 0, &part, TextureFilter::Point), kDeviceOk);
    EXPECT_EQ(std::memcmp(texel(*dst, 1, 1), pattern(10, 20).data(), 4), 0);
    EXPECT_EQ(std::memcmp(texel(*dst, 2, 0), pattern(11, 20).data(), 4), 0);

    // Within one texture the source is read before it is overwritten.
    const Rect left{0, 0, 128, 1}, shifted{1, 0, 129, 1};
    ASSERT_EQ(loadSurfaceFromSurface(*src, 0, &shifted, *src, 0, &left, TextureFilter::Point), kDeviceOk);
    EXPECT_EQ(std::memcmp(texel(*src, 128, 0), pattern(127, 0).data(), 4), 0);
    EXPECT_EQ(std::memcmp(texel(*src, 1, 0), pattern(0, 0).data(), 4), 0);
}

TEST(DeviceTextureCopy, RefusalsLeaveTheDestinationAlone) {
    auto src = fromImage(argbImage(16, 16));
    auto dst = fromImage(argbImage(16, 16));
    const auto before = std::vector<std::uint8_t>(dst->levelBytes(0), dst->levelBytes(0) + dst->levelByteSize(0));
    const auto c0 = dst->changeCount();
    const Rect out{8, 8, 17, 12}, flipped{8, 8, 4, 12};
    EXPECT_EQ(loadSurfaceFromSurface(*dst, 0, &out, *src, 0, nullptr, TextureFilter::Point), kDeviceInvalidCall);
    EXPECT_EQ(loadSurfaceFromSurface(*dst, 0, nullptr, *src, 0, &flipped, TextureFilter::Point), kDeviceInvalidCall);
    EXPECT_EQ(loadSurfaceFromSurface(*dst, 9, nullptr, *src, 0, nullptr, TextureFilter::Point), kDeviceInvalidCall);
    EXPECT_EQ(loadSurfaceFromSurface(*dst, 0, nullptr, *src, 0, nullptr, static_cast<TextureFilter>(1)), kDeviceInvalidCall);
    LockedRect lr;
    ASSERT_EQ(dst->lockRect(0, lr, nullptr, LockMode::ReadOnly), kDeviceOk);
    EXPECT_EQ(loadSurfaceFromSurface(*dst, 0, nullptr, *src, 0, nullptr, TextureFilter::Point), kDeviceInvalidCall);
    dst->unlockRect(0);
    EXPECT_EQ(dst->changeCount(), c0);
    EXPECT_EQ(std::memcmp(dst->levelBytes(0), before.data(), before.size()), 0);
}

TEST(DeviceTextureCopy, Dxt3TileReencodesOnlyItsBlocks) {
    // Flat 16 x 16 squares of colours DXT3 holds exactly, so each 4 x 4 block of the tile
    // comes back without loss.
    std::vector<std::uint8_t> img(kDdsArgb256Bytes);
    writeDdsHeader(img.data(), DdsKind::Bgra32, 256, 256);
    const auto colourOf = [](int x, int y) {
        const int s = (x / 16) + (y / 16);
        return std::array<std::uint8_t, 4>{std::uint8_t(s & 1 ? 0xFF : 0), std::uint8_t(s & 2 ? 0xFF : 0),
                                           std::uint8_t(s & 4 ? 0xFF : 0), std::uint8_t(0x11 * (s % 16))};
    };
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) std::memcpy(&img[kDdsFileHeaderBytes + (y * 256 + x) * 4], colourOf(x, y).data(), 4);
    auto block = fromImage(img);
    const auto loResImg = loResImage(3);
    auto lo = fromImage(loResImg);
    lo->clearDirty();
    const Rect tile{192, 64, 256, 128};
    ASSERT_EQ(loadSurfaceFromSurface(*lo, 0, &tile, *block, 0, nullptr, TextureFilter::Point), kDeviceOk);

    const std::uint8_t* before = loResImg.data() + kDdsFileHeaderBytes;
    const std::uint8_t* after = lo->levelBytes(0);
    for (int by = 0; by < 64; ++by) {
        for (int bx = 0; bx < 64; ++bx) {
            const std::size_t at = std::size_t(by) * 1024 + std::size_t(bx) * 16;
            const bool inTile = bx >= 48 && by >= 16 && by < 32;
            if (!inTile) {
                ASSERT_EQ(std::memcmp(before + at, after + at, 16), 0) << "block " << bx << "," << by;
                continue;
            }
            std::uint8_t px[64];
            decodeDxt3Block(after + at, px);
            const auto want = colourOf((bx - 48) * 16, (by - 16) * 16);
            for (int k = 0; k < 16; ++k) {
                ASSERT_EQ(px[4 * k], want[3]) << "alpha in block " << bx << "," << by;
                ASSERT_EQ(px[4 * k + 1], want[2]);
                ASSERT_EQ(px[4 * k + 2], want[1]);
                ASSERT_EQ(px[4 * k + 3], want[0]);
            }
        }
    }
    ASSERT_EQ(lo->dirtyRects().size(), 1u);
    EXPECT_EQ(lo->dirtyRects()[0], tile);
}

TEST(DeviceTextureCopy, PartlyCoveredDxt3BlocksKeepTheirOtherTexels) {
    // A flat DXT3 texture of a representable colour: overwriting one texel of a block keeps
    // its 15 neighbours exactly.
    std::vector<std::uint8_t> img(kDdsFileHeaderBytes + 16 * 16);
    writeDdsHeader(img.data(), DdsKind::Dxt3, 16, 16);
    std::uint8_t flat[64], enc[16];
    for (int k = 0; k < 16; ++k) std::memcpy(flat + 4 * k, "\xFF\x00\xFF\x00", 4);   // opaque green
    encodeDxt3Block(flat, enc);
    for (int b = 0; b < 16; ++b) std::memcpy(&img[kDdsFileHeaderBytes + 16 * b], enc, 16);
    auto t = fromImage(img);
    auto red = fromImage(argbImage(1, 1));
    const Rect one{5, 6, 6, 7};
    ASSERT_EQ(loadSurfaceFromSurface(*t, 0, &one, *red, 0, nullptr, TextureFilter::Point), kDeviceOk);
    std::vector<std::uint8_t> argb;
    ASSERT_EQ(readLevel0Argb(*t, argb), kDeviceOk);
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x) {
            if (x == 5 && y == 6) continue;
            EXPECT_EQ(std::memcmp(&argb[(y * 16 + x) * 4], "\xFF\x00\xFF\x00", 4), 0) << x << "," << y;
        }
    for (int b = 0; b < 16; ++b) {
        if (b == 5) continue;
        EXPECT_EQ(std::memcmp(t->levelBytes(0) + 16 * b, enc, 16), 0) << b;
    }
}

TEST(DeviceTextureFilter, BoxFilteredLevels) {
    std::vector<std::uint8_t> img(kDdsFileHeaderBytes + 4 * 2 * 4);
    writeDdsHeader(img.data(), DdsKind::Bgra32, 4, 2);
    const std::uint8_t blues[8] = {0, 10, 20, 30, 40, 50, 61, 70};
    for (int k = 0; k < 8; ++k) img[kDdsFileHeaderBytes + 4 * k] = blues[k];
    auto t = fromImage(img);
    ASSERT_EQ(t->levelCount(), 3u);
    EXPECT_EQ(t->levelWidth(1), 2u);
    EXPECT_EQ(t->levelHeight(1), 1u);
    EXPECT_EQ(t->levelBytes(1)[0], 25);   // (0 + 10 + 40 + 50 + 2) / 4
    EXPECT_EQ(t->levelBytes(1)[4], 45);   // (20 + 30 + 61 + 70 + 2) / 4
    EXPECT_EQ(t->levelBytes(2)[0], 35);

    // Level 0 changes reach the smaller levels only when asked.
    LockedRect lr;
    ASSERT_EQ(t->lockRect(0, lr, nullptr, LockMode::ReadWrite), kDeviceOk);
    lr.bits[0] = 100;
    t->unlockRect(0);
    t->clearDirty();
    EXPECT_EQ(t->levelBytes(1)[0], 25);
    ASSERT_EQ(filterTexture(*t), kDeviceOk);
    EXPECT_EQ(t->levelBytes(1)[0], 50);
    EXPECT_TRUE(t->smallerLevelsDirty());
    EXPECT_TRUE(t->dirtyRects().empty());

    ASSERT_EQ(t->lockRect(1, lr, nullptr, LockMode::ReadOnly), kDeviceOk);
    EXPECT_EQ(filterTexture(*t), kDeviceInvalidCall);
    t->unlockRect(1);
    EXPECT_EQ(filterTexture(*t, 3), kDeviceInvalidCall);
}

TEST(DeviceTextureFilter, Dxt3LevelsKeepAFlatColour) {
    std::vector<std::uint8_t> dds(kDdsFileHeaderBytes + 64 * 64);
    writeDdsHeader(dds.data(), DdsKind::Dxt3, 64, 64);
    std::uint8_t px[64], enc[16];
    for (int k = 0; k < 16; ++k) std::memcpy(px + 4 * k, "\x88\xFF\x00\xFF", 4);
    encodeDxt3Block(px, enc);
    for (int b = 0; b < 256; ++b) std::memcpy(&dds[kDdsFileHeaderBytes + 16 * b], enc, 16);
    auto t = fromImage(dds);
    ASSERT_EQ(t->levelCount(), 7u);
    // Down to 1 x 1, where only one texel of the block is the level's.
    for (std::uint32_t l = 1; l < 7; ++l) {
        std::uint8_t out[64];
        decodeDxt3Block(t->levelBytes(l), out);
        for (std::uint32_t y = 0; y < std::min(4u, t->levelHeight(l)); ++y)
            for (std::uint32_t x = 0; x < std::min(4u, t->levelWidth(l)); ++x)
                EXPECT_EQ(std::memcmp(out + 4 * (y * 4 + x), "\x88\xFF\x00\xFF", 4), 0) << "level " << l;
    }
}

TEST(DeviceTextureBmp, LevelZeroReadsBackWithTheProjectReader) {
    lndtest::TempDir dir;
    auto t = fromImage(argbImage(5, 3));   // odd width: rows are padded
    const std::string path = dir.path() + "/tex.bmp";
    ASSERT_EQ(saveTextureToBmp(path, *t), kDeviceOk);
    std::unique_ptr<CImageBase> image;
    ASSERT_EQ(ReadImageFile(path, image), kImageOk);
    auto* img = dynamic_cast<CImage32*>(image.get());
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->width(), 5);
    ASSERT_EQ(img->height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const auto want = pattern(x, y);
            const std::uint8_t* got = img->pixel(x, y);
            EXPECT_EQ(got[1], want[2]);
            EXPECT_EQ(got[2], want[1]);
            EXPECT_EQ(got[3], want[0]);
        }

    auto lo = fromImage(loResImage(4));
    EXPECT_EQ(saveTextureToBmp(dir.path() + "/lo.bmp", *lo), kDeviceOk);
    EXPECT_EQ(std::filesystem::file_size(dir.path() + "/lo.bmp"), 54u + 256u * 256u * 3u);
    EXPECT_EQ(saveTextureToBmp(dir.path() + "/missing/dir/x.bmp", *t), kDeviceWriteFailed);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/missing"));
}

TEST(DeviceTextureFilter, RemakingAfterATileEqualsRemakingEverything) {
    auto lo = fromImage(loResImage(5));
    auto src = fromImage(argbImage(256, 256));
    const Rect tile{64, 192, 128, 256};
    ASSERT_EQ(loadSurfaceFromSurface(*lo, 0, &tile, *src, 0, nullptr, TextureFilter::Point), kDeviceOk);
    ASSERT_EQ(filterTexture(*lo), kDeviceOk);

    std::vector<std::uint8_t> img(kDdsFileHeaderBytes + kLoResDataSize);
    writeDdsHeader(img.data(), DdsKind::Dxt3, 256, 256);
    std::memcpy(img.data() + kDdsFileHeaderBytes, lo->levelBytes(0), kLoResDataSize);
    auto fresh = fromImage(img);
    for (std::uint32_t l = 1; l < lo->levelCount(); ++l)
        EXPECT_EQ(std::memcmp(lo->levelBytes(l), fresh->levelBytes(l), lo->levelByteSize(l)), 0) << "level " << l;
    // Nothing changed since: a second filtering has nothing to do.
    const auto count = lo->changeCount();
    ASSERT_EQ(filterTexture(*lo), kDeviceOk);
    EXPECT_EQ(lo->changeCount(), count);
}

// Smaller levels are made at their first read. Tiles drawn with a filtering after each and
// nothing read in between must leave every level as when each filtering ran at once; reads
// never count as changes; a texture nobody reads never gets the smaller levels' storage.
TEST(DeviceTextureFilter, DeferredLevelsEqualLevelsMadeAtOnce) {
    const Rect tiles[] = {{64, 192, 128, 256}, {30, 7, 94, 71}, {0, 0, 64, 64}, {33, 5, 97, 69}, {192, 192, 256, 256}};
    for (const bool dxt3 : {true, false}) {
        SCOPED_TRACE(dxt3 ? "DXT3" : "A8R8G8B8");
        auto deferred = fromImage(dxt3 ? loResImage(5) : argbImage(256, 256));
        auto atOnce = fromImage(dxt3 ? loResImage(5) : argbImage(256, 256));
        EXPECT_FALSE(deferred->smallerLevelsMade());
        EXPECT_TRUE(deferred->filterPending());
        EXPECT_TRUE(deferred->smallerLevelsDirty());
        for (std::uint32_t l = 1; l < atOnce->levelCount(); ++l) ASSERT_NE(atOnce->levelBytes(l), nullptr);
        EXPECT_TRUE(atOnce->smallerLevelsMade());
        EXPECT_FALSE(atOnce->filterPending());

        int k = 0;
        for (const Rect& tile : tiles) {
            auto src = fromImage(argbImage(256, 256 - 16 * ++k));
            for (DeviceTexture* t : {deferred.get(), atOnce.get()}) {
                t->clearDirty();
                const auto before = t->changeCount();
                ASSERT_EQ(loadSurfaceFromSurface(*t, 0, &tile, *src, 0, nullptr, TextureFilter::Point), kDeviceOk);
                ASSERT_EQ(filterTexture(*t), kDeviceOk);
                EXPECT_GT(t->changeCount(), before + 1);   // the tile and the smaller levels
                EXPECT_TRUE(t->smallerLevelsDirty());
            }
            // Read everything now, as a renderer drawing every frame would.
            for (std::uint32_t l = 1; l < atOnce->levelCount(); ++l) ASSERT_NE(atOnce->levelBytes(l), nullptr);
        }
        EXPECT_FALSE(deferred->smallerLevelsMade());
        const auto count = deferred->changeCount();
        LockedRect lr;
        ASSERT_EQ(deferred->lockRect(2, lr, nullptr, LockMode::ReadOnly), kDeviceOk);
        EXPECT_EQ(std::memcmp(lr.bits, atOnce->levelBytes(2), atOnce->levelByteSize(2)), 0);
        ASSERT_EQ(deferred->unlockRect(2), kDeviceOk);
        for (std::uint32_t l = 0; l < atOnce->levelCount(); ++l)
            EXPECT_EQ(std::memcmp(deferred->levelBytes(l), atOnce->levelBytes(l), atOnce->levelByteSize(l)), 0)
                << "level " << l;
        EXPECT_EQ(deferred->changeCount(), count);
        EXPECT_FALSE(deferred->filterPending());
    }
    // One level: nothing to make, nothing pending.
    std::unique_ptr<DeviceTexture> single;
    ASSERT_EQ(DeviceTexture::create(64, 64, 1, TextureFormat::A8R8G8B8, single), kDeviceOk);
    EXPECT_TRUE(single->smallerLevelsMade());
    const auto count = single->changeCount();
    ASSERT_EQ(filterTexture(*single), kDeviceOk);
    EXPECT_FALSE(single->filterPending());
    EXPECT_EQ(single->changeCount(), count);
}
