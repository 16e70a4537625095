#include "format/lnd_file.h"
#include "land/lores_record.h"
#include "support/land_builder.h"
#include "codec/bmp_writer.h"
#include "codec/png_writer.h"
#include "codec/dds.h"
#include "codec/dxt3.h"
#include "codec/image_readers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace lndtest;

namespace {

lnd::DdsImage sample(lnd::DdsKind kind, int w, int h) {
    lnd::DdsImage img;
    img.kind = kind;
    img.width = w;
    img.height = h;
    img.data.resize(lnd::ddsDataBytes(kind, w, h));
    for (std::size_t i = 0; i < img.data.size(); ++i) img.data[i] = std::uint8_t(i * 7 + 3);
    return img;
}

lnd::CImage32 gradient(int w, int h) {
    lnd::CImage32 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = img.pixel(x, y);
            p[0] = std::uint8_t(255 - x);
            p[1] = std::uint8_t(x * 16);
            p[2] = std::uint8_t(y * 16);
            p[3] = std::uint8_t((x ^ y) * 8);
        }
    return img;
}

}  // namespace

TEST(Dds, HeaderOfLandRecordsAndRoundTrips) {
    lnd::TLndLoResTex record{};
    lnd::initLoResRecord(record);
    std::uint8_t header[lnd::kDdsHeaderSize];
    lnd::fillDdsHeader(header, lnd::DdsKind::Dxt3, 256, 256);
    EXPECT_EQ(std::memcmp(header, record.DdsHeader, sizeof header), 0);

    for (auto [kind, w, h] : {std::tuple{lnd::DdsKind::Dxt3, 256, 256}, std::tuple{lnd::DdsKind::Bgra32, 256, 256},
                              std::tuple{lnd::DdsKind::Dxt3, 8, 4}, std::tuple{lnd::DdsKind::Bgra32, 3, 5}}) {
        const lnd::DdsImage img = sample(kind, w, h);
        const auto bytes = lnd::encodeDds(img);
        ASSERT_EQ(bytes.size(), 128 + img.data.size());
        lnd::DdsImage back;
        ASSERT_TRUE(lnd::decodeDds(bytes, back)) << w;
        EXPECT_EQ(back.kind, kind);
        EXPECT_EQ(back.width, w);
        EXPECT_EQ(back.height, h);
        EXPECT_EQ(back.data, img.data);
    }
    // The 32-bit header is the synthesis layout: flags, mip count, masks and caps.
    const auto bgra = lnd::encodeDds(sample(lnd::DdsKind::Bgra32, 256, 256));
    EXPECT_EQ(lnd::loadU32(&bgra[8]), 0x21007u);
    EXPECT_EQ(lnd::loadU32(&bgra[28]), 1u);
    EXPECT_EQ(lnd::loadU32(&bgra[80]), 0x41u);
    EXPECT_EQ(lnd::loadU32(&bgra[104]), 0xFF000000u);
    EXPECT_EQ(lnd::loadU32(&bgra[108]), 0x401008u);

    EXPECT_TRUE(lnd::encodeDds(sample(lnd::DdsKind::Dxt3, 6, 4)).empty());
    lnd::DdsImage wrongSize = sample(lnd::DdsKind::Dxt3, 8, 8);
    wrongSize.data.pop_back();
    EXPECT_TRUE(lnd::encodeDds(wrongSize).empty());
}

TEST(Dds, LandRecordDecodes) {
    const std::vector<std::uint8_t> land = LandBuilder().block(3, 4).build();
    const auto& record = *reinterpret_cast<const lnd::TLndLoResTex*>(land.data() + lnd::kHeaderSize);
    const auto bytes = lnd::loResRecordDds(record);
    ASSERT_EQ(bytes.size(), std::size_t(lnd::kDdsImageSize));
    lnd::DdsImage img;
    ASSERT_TRUE(lnd::decodeDds(bytes, img));
    EXPECT_EQ(img.kind, lnd::DdsKind::Dxt3);
    EXPECT_EQ(img.width, 256);
    EXPECT_EQ(std::memcmp(img.data.data(), record.Data, lnd::kLoResDataSize), 0);
}

TEST(Dds, RefusesCorruptHeaders) {
    const auto good = lnd::encodeDds(sample(lnd::DdsKind::Dxt3, 16, 16));
    const std::vector<std::pair<const char*, std::function<void(std::vector<std::uint8_t>&)>>> cases = {
        {"magic", [](auto& b) { b[0] = 'X'; }},
        {"header size", [](auto& b) { lnd::storeU32(&b[4], 100); }},
        {"pixel format size", [](auto& b) { lnd::storeU32(&b[76], 24); }},
        {"DXT1", [](auto& b) { b[87] = '1'; }},
        {"no format", [](auto& b) { lnd::storeU32(&b[80], 0); }},
        {"zero width", [](auto& b) { lnd::storeU32(&b[16], 0); }},
        {"odd width", [](auto& b) { lnd::storeU32(&b[16], 14); }},
        {"huge height", [](auto& b) { lnd::storeU32(&b[12], 0x80000000u); }},
        {"data short", [](auto& b) { b.pop_back(); }},
        {"larger than data", [](auto& b) { lnd::storeU32(&b[12], 32); }},
        {"header only", [](auto& b) { b.resize(127); }},
    };
    for (const auto& [what, edit] : cases) {
        auto bytes = good;
        edit(bytes);
        lnd::DdsImage img;
        const lnd::Result r = lnd::decodeDds(bytes, img);
        EXPECT_EQ(r.status(), lnd::Status::BadInput) << what;
        EXPECT_FALSE(r.message().empty()) << what;
        EXPECT_TRUE(img.data.empty()) << what;
    }
    auto rgb = lnd::encodeDds(sample(lnd::DdsKind::Bgra32, 4, 4));
    lnd::storeU32(&rgb[92], 0xFF);  // red mask elsewhere: some other layout
    lnd::DdsImage img;
    EXPECT_FALSE(lnd::decodeDds(rgb, img));
}

TEST(ImageWriters, BmpReadsBackThroughTheReaders) {
    TempDir dir;
    const lnd::CImage32 src = gradient(5, 3);  // odd width: padded rows
    writeBytes(dir.file("a.bmp"), lnd::encodeBmp(src, 24));
    std::unique_ptr<lnd::CImageBase> back;
    ASSERT_EQ(lnd::ReadImageFile(dir.file("a.bmp"), back), lnd::kImageOk);
    const auto& img = dynamic_cast<const lnd::CImage32&>(*back);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(img.pixel(x, y)[0], 255);
            EXPECT_EQ(std::memcmp(img.pixel(x, y) + 1, src.pixel(x, y) + 1, 3), 0) << x << "," << y;
        }

    // 32 bits keep alpha in the fourth byte; the bottom row comes first.
    const auto b32 = lnd::encodeBmp(src, 32);
    EXPECT_EQ(lnd::loadU16(&b32[28]), 32);
    const std::uint8_t* first = &b32[54];
    EXPECT_EQ(first[0], src.pixel(0, 2)[3]);
    EXPECT_EQ(first[3], src.pixel(0, 2)[0]);
    const std::uint8_t bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto fromBgra = lnd::encodeBmp(bgra, 2, 1, 8, lnd::PixelOrder::Bgra, 32);
    EXPECT_EQ(std::memcmp(&fromBgra[54], bgra, 8), 0);

    std::uint8_t grey[2 * 3] = {0, 10, 20, 30, 40, 50};
    writeBytes(dir.file("g.bmp"), lnd::encodeGreyBmp(grey, 3, 2, 3));
    ASSERT_EQ(lnd::ReadImageFile(dir.file("g.bmp"), back), lnd::kImageOk);
    const auto& g = dynamic_cast<const lnd::CImage8&>(*back);
    EXPECT_EQ(g.index(2, 1), 50);
    EXPECT_EQ(g.palette()[50], lnd::packArgb(255, 50, 50, 50));

    EXPECT_TRUE(lnd::encodeBmp(src.pixels(), 5, 3, 4, lnd::PixelOrder::Argb, 24).empty());  // pitch too small
    EXPECT_TRUE(lnd::encodeBmp(src, 16).empty());
    const auto png = lnd::encodePng(src);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
}

TEST(LndtoolTextures, CompressAndDecompress) {
    const char* buildDir = std::getenv("LND_BUILD_DIR");
    if (!buildDir) GTEST_SKIP() << "run through ctest";
    const std::string tool = std::string(buildDir) + "/src/lndtool/lndtool";
    TempDir dir;
    const lnd::CImage32 src = gradient(8, 8);
    writeBytes(dir.file("in.bmp"), lnd::encodeBmp(src, 24));
    auto run = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(run("compress " + dir.file("in.bmp") + " -o " + dir.file("out.dds")), 0);
    lnd::DdsImage dds;
    ASSERT_TRUE(lnd::decodeDds(readBytes(dir.file("out.dds")), dds));
    ASSERT_EQ(dds.width, 8);
    lnd::CImage32 opaque = src;
    for (int i = 0; i < 64; ++i) opaque.pixels()[4 * i] = 255;  // the 24-bit file dropped alpha
    std::vector<std::uint8_t> expected(64);
    lnd::encodeDxt3Image(opaque.pixels(), 8, 8, opaque.pitch(), expected.data());
    EXPECT_EQ(dds.data, expected);

    ASSERT_EQ(run("decompress " + dir.file("out.dds") + " -o " + dir.file("back.png")), 0);
    ASSERT_EQ(run("decompress " + dir.file("out.dds") + " -o " + dir.file("back.BMP")), 0);
    std::vector<std::uint8_t> decoded(256);
    lnd::decodeDxt3Image(dds.data.data(), 8, 8, decoded.data(), 32);
    const auto bmp = readBytes(dir.file("back.BMP"));
    ASSERT_EQ(bmp.size(), 54u + 256u);
    EXPECT_EQ(bmp[54 + 3], decoded[7 * 32]);  // alpha of the bottom-left pixel

    writeBytes(dir.file("odd.bmp"), lnd::encodeBmp(gradient(6, 4), 24));
    EXPECT_EQ(run("compress " + dir.file("odd.bmp") + " -o " + dir.file("x.dds")), 1);
    EXPECT_EQ(run("compress " + dir.file("nothere.tga") + " -o " + dir.file("x.dds")), 1);
    EXPECT_EQ(run("compress " + dir.file("in.bmp")), 2);
    EXPECT_EQ(run("decompress " + dir.file("in.bmp") + " -o " + dir.file("x.bmp")), 1);
    EXPECT_EQ(run("decompress " + dir.file("out.dds") + " -o " + dir.file("x.jpg")), 2);
}
