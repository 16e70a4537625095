#include "image_files.h"
#include "support/land_builder.h"
#include "codec/image_readers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

using lnd::CImage32;
using lnd::CImage8;
using lnd::CImageBase;
using lnd::ReadImageFile;
using namespace lndtest;

namespace {

// The 32-bit pixel (x, y) as 0xAARRGGBB.
std::uint32_t argbAt(const CImage32& img, int x, int y) {
    const std::uint8_t* p = img.pixel(x, y);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t paletteArgb(const CImage8& img, int k) {
    std::uint8_t e[4];
    lnd::unpackArgb(img.palette()[std::size_t(k)], e);
    return std::uint32_t(e[0]) << 24 | std::uint32_t(e[1]) << 16 | std::uint32_t(e[2]) << 8 | e[3];
}

class ReaderTest : public ::testing::Test {
protected:
    int read(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.bmp") {
        const std::string path = m_dir.file(name);
        writeBytes(path, bytes);
        return ReadImageFile(path, m_image);
    }
    CImage32& img32() { return dynamic_cast<CImage32&>(*m_image); }
    CImage8& img8() { return dynamic_cast<CImage8&>(*m_image); }

    TempDir m_dir;
    std::unique_ptr<CImageBase> m_image;
};

BmpSpec bmp24(int w, int h) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    for (int i = 0; i < w * h; ++i) s.pixels.push_back(0x010203u * std::uint32_t(i + 1));
    return s;
}

BmpSpec bmp8(int w, int h, std::uint32_t coloursUsed) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bitCount = 8;
    s.coloursUsed = coloursUsed;
    for (int k = 0; k < 256; ++k) s.palette.push_back(0x10000u * k + 0x100u * (255 - k) + 7);
    for (int i = 0; i < w * h; ++i) s.pixels.push_back(std::uint32_t(i * 37 % (coloursUsed ? coloursUsed : 256)));
    return s;
}

TgaSpec tga(int type, int depth, int w, int h) {
    TgaSpec s;
    s.imageType = type;
    s.depth = depth;
    s.width = w;
    s.height = h;
    for (int i = 0; i < w * h; ++i) s.pixels.push_back(type == 1 ? std::uint32_t(i % 3) : 0x40302010u + 0x01010101u * i);
    return s;
}

}  // namespace

TEST_F(ReaderTest, ExtensionChoosesReaderIgnoringCase) {
    const auto bytes = makeBmp(bmp24(2, 2));
    EXPECT_EQ(read(bytes, "NOISE.BMP"), lnd::kImageOk);
    EXPECT_EQ(m_image->kind(), 1);
    EXPECT_EQ(read(bytes, "noise.bmp.txt"), lnd::kImageBadExtension);
    EXPECT_EQ(read(bytes, "noise"), lnd::kImageBadExtension);
    EXPECT_FALSE(m_image);
    // A BMP named .tga goes to the TGA reader, which cannot make sense of it.
    EXPECT_EQ(read(bytes, "noise.TGA"), lnd::kImageUnsupported);
    EXPECT_EQ(ReadImageFile(m_dir.file("missing.bmp"), m_image), lnd::kImageCannotOpen);
}

TEST_F(ReaderTest, Bmp24PaddedRowsBottomUp) {
    // Width 3: 9 bytes of pixels and 3 of padding per file row.
    BmpSpec s = bmp24(3, 2);
    auto bytes = makeBmp(s);
    ASSERT_EQ(bytes.size(), 54u + 24u);
    ASSERT_EQ(read(bytes), lnd::kImageOk);
    ASSERT_EQ(m_image->width(), 3);
    ASSERT_EQ(m_image->height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(argbAt(img32(), x, y), 0xFF000000u | s.pixels[std::size_t(y * 3 + x)]);
    // The last file row is the picture's top row.
    EXPECT_EQ(argbAt(img32(), 0, 0), 0xFF000000u | std::uint32_t(bytes[54 + 12 + 2]) << 16 |
                                         std::uint32_t(bytes[54 + 12 + 1]) << 8 | bytes[54 + 12]);
}

TEST_F(ReaderTest, Bmp24ReadsPaddedSizeWhateverTheImageSizeField) {
    // An image size of 0, or one counting no padding, must still give every row.
    for (std::uint32_t field : {0u, 18u, 1u}) {
        BmpSpec s = bmp24(3, 2);
        auto bytes = makeBmp(s);
        put32(bytes, 34, field);
        ASSERT_EQ(read(bytes), lnd::kImageOk) << field;
        EXPECT_EQ(argbAt(img32(), 2, 1), 0xFF000000u | s.pixels[5]) << field;
    }
}

TEST_F(ReaderTest, Bmp8Palettes) {
    BmpSpec s = bmp8(5, 3, 0);
    ASSERT_EQ(read(makeBmp(s)), lnd::kImageOk);
    ASSERT_EQ(m_image->kind(), 0);
    EXPECT_EQ(img8().paletteSize(), 256);
    EXPECT_EQ(paletteArgb(img8(), 200), 0xFF000000u | s.palette[200]);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(img8().index(x, y), s.pixels[std::size_t(y * 5 + x)]);

    // A short palette is padded so that every index a pixel can hold is valid.
    BmpSpec shortPal = bmp8(4, 1, 2);
    shortPal.pixels = {0, 1, 2, 255};
    ASSERT_EQ(read(makeBmp(shortPal)), lnd::kImageOk);
    EXPECT_EQ(img8().paletteSize(), 256);
    EXPECT_EQ(paletteArgb(img8(), 1), 0xFF000000u | shortPal.palette[1]);
    EXPECT_EQ(paletteArgb(img8(), 255), 0xFF000000u);
    const CImage32 flat = lnd::toImage32(img8());
    EXPECT_EQ(argbAt(flat, 1, 0), 0xFF000000u | shortPal.palette[1]);
    EXPECT_EQ(argbAt(flat, 3, 0), 0xFF000000u);
}

TEST_F(ReaderTest, BmpCorruptAndUnsupportedTable) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> edit;
        int expected;
    };
    const std::vector<Case> cases = {
        {"wrong magic", [](auto& b) { b[1] = 'X'; }, lnd::kImageCorrupt},
        {"top-down", [](auto& b) { put32(b, 22, std::uint32_t(-2)); }, lnd::kImageUnsupported},
        {"info header 108", [](auto& b) { put32(b, 14, 108); }, lnd::kImageUnsupported},
        {"info header 12", [](auto& b) { put32(b, 14, 12); }, lnd::kImageUnsupported},
        {"compressed", [](auto& b) { put32(b, 30, 1); }, lnd::kImageUnsupported},
        {"16-bit", [](auto& b) { put16(b, 28, 16); }, lnd::kImageUnsupported},
        {"32-bit", [](auto& b) { put16(b, 28, 32); }, lnd::kImageUnsupported},
        {"zero width", [](auto& b) { put32(b, 18, 0); }, lnd::kImageUnsupported},
        {"negative width", [](auto& b) { put32(b, 18, std::uint32_t(-3)); }, lnd::kImageUnsupported},
        {"huge width", [](auto& b) { put32(b, 18, 20000); }, lnd::kImageUnsupported},
        {"width beyond data", [](auto& b) { put32(b, 18, 16000); }, lnd::kImageCorrupt},
        {"height beyond data", [](auto& b) { put32(b, 22, 3); }, lnd::kImageCorrupt},
        {"offset beyond file", [](auto& b) { put32(b, 10, 0x7FFFFFF0); }, lnd::kImageCorrupt},
        {"offset near end", [](auto& b) { put32(b, 10, std::uint32_t(b.size() - 4)); }, lnd::kImageCorrupt},
        {"offset wraps", [](auto& b) { put32(b, 10, 0xFFFFFFFF); }, lnd::kImageCorrupt},
    };
    for (const Case& c : cases) {
        auto bytes = makeBmp(bmp24(3, 2));
        c.edit(bytes);
        EXPECT_EQ(read(bytes), c.expected) << c.what;
        EXPECT_FALSE(m_image) << c.what;
    }
    const std::vector<Case> paletted = {
        {"palette too long", [](auto& b) { put32(b, 46, 257); }, lnd::kImageUnsupported},
        {"palette count huge", [](auto& b) { put32(b, 46, 0xFFFFFFFF); }, lnd::kImageUnsupported},
        {"palette past data", [](auto& b) { put32(b, 46, 200); put32(b, 10, 54 + 16); }, lnd::kImageCorrupt},
    };
    for (const Case& c : paletted) {
        auto bytes = makeBmp(bmp8(4, 4, 4));
        c.edit(bytes);
        EXPECT_EQ(read(bytes), c.expected) << c.what;
        EXPECT_FALSE(m_image) << c.what;
    }
}

TEST_F(ReaderTest, EveryTruncationFailsCleanly) {
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"a.bmp", makeBmp(bmp24(3, 3))},
        {"b.bmp", makeBmp(bmp8(5, 2, 16))},
        {"c.tga", makeTga(tga(2, 24, 3, 2))},
        {"d.tga", makeTga(tga(2, 32, 2, 2))},
        {"e.tga", [] { TgaSpec s = tga(1, 8, 3, 3); s.mapEntryBits = 24; s.colourMap = {1, 2, 3}; return makeTga(s); }()},
    };
    for (const auto& [name, bytes] : files) {
        ASSERT_EQ(read(bytes, name), lnd::kImageOk) << name;
        for (std::size_t len = 0; len < bytes.size(); ++len) {
            const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(len));
            EXPECT_EQ(read(cut, name), lnd::kImageCorrupt) << name << " cut at " << len;
            EXPECT_FALSE(m_image);
        }
    }
}

TEST_F(ReaderTest, TgaTrueColourOrientationAndAlpha) {
    // Bottom-first by default: the first file row is the picture's bottom row.
    TgaSpec s = tga(2, 24, 2, 2);
    ASSERT_EQ(read(makeTga(s), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(argbAt(img32(), 0, 1), 0xFF000000u | (s.pixels[0] & 0xFFFFFF));
    EXPECT_EQ(argbAt(img32(), 1, 0), 0xFF000000u | (s.pixels[3] & 0xFFFFFF));
    s.descriptor = 0x20;
    ASSERT_EQ(read(makeTga(s), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(argbAt(img32(), 0, 0), 0xFF000000u | (s.pixels[0] & 0xFFFFFF));

    // Alpha-bit count 0: opaque whatever the fourth bytes hold; 8: the bytes are kept.
    TgaSpec a = tga(2, 32, 2, 1);
    a.descriptor = 0x20;
    ASSERT_EQ(read(makeTga(a), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(argbAt(img32(), 1, 0), 0xFF000000u | (a.pixels[1] & 0xFFFFFF));
    a.descriptor = 0x28;
    ASSERT_EQ(read(makeTga(a), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(argbAt(img32(), 1, 0), a.pixels[1]);
    a.descriptor = 0x24;
    EXPECT_EQ(read(makeTga(a), "x.tga"), lnd::kImageUnsupported);
}

TEST_F(ReaderTest, TgaSkipsIdAndColourMapOfTrueColourFile) {
    TgaSpec s = tga(2, 24, 2, 1);
    s.idLength = 5;
    s.mapEntryBits = 16;
    s.colourMap = {0x1111, 0x2222, 0x3333};
    s.descriptor = 0x20;
    ASSERT_EQ(read(makeTga(s), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(argbAt(img32(), 0, 0), 0xFF000000u | (s.pixels[0] & 0xFFFFFF));
    EXPECT_EQ(argbAt(img32(), 1, 0), 0xFF000000u | (s.pixels[1] & 0xFFFFFF));
}

TEST_F(ReaderTest, TgaColourMapped) {
    TgaSpec s = tga(1, 8, 3, 2);
    s.mapEntryBits = 32;
    s.colourMap = {0x80112233, 0x40445566, 0xFF778899};
    s.pixels = {0, 1, 2, 2, 1, 200};
    ASSERT_EQ(read(makeTga(s), "x.tga"), lnd::kImageOk);
    ASSERT_EQ(m_image->kind(), 0);
    EXPECT_EQ(img8().paletteSize(), 256);
    EXPECT_EQ(paletteArgb(img8(), 0), 0x80112233u);
    EXPECT_EQ(paletteArgb(img8(), 2), 0xFF778899u);
    EXPECT_EQ(img8().index(0, 1), 0);  // bottom-first
    EXPECT_EQ(img8().index(2, 0), 200);
    EXPECT_EQ(lnd::toImage32(img8()).pixel(2, 0)[0], 255);  // padded entry: opaque black

    s.mapEntryBits = 24;
    s.colourMap = {0x112233, 0x445566, 0x778899};
    ASSERT_EQ(read(makeTga(s), "x.tga"), lnd::kImageOk);
    EXPECT_EQ(paletteArgb(img8(), 1), 0xFF445566u);
}

TEST_F(ReaderTest, TgaUnsupportedTable) {
    struct Case {
        const char* what;
        std::function<void(TgaSpec&)> edit;
    };
    const std::vector<Case> cases = {
        {"rle colour-mapped", [](TgaSpec& s) { s.imageType = 9; }},
        {"rle true colour", [](TgaSpec& s) { s.imageType = 10; }},
        {"grey", [](TgaSpec& s) { s.imageType = 3; }},
        {"right to left", [](TgaSpec& s) { s.descriptor = 0x10; }},
        {"16-bit map entries", [](TgaSpec& s) { s.mapEntryBits = 16; }},
        {"16-bit indices", [](TgaSpec& s) { s.depth = 16; }},
        {"no colour map", [](TgaSpec& s) { s.colourMap.clear(); s.mapType = 0; }},
        {"zero width", [](TgaSpec& s) { s.width = 0; }},
        {"huge side", [](TgaSpec& s) { s.width = 40000; }},
    };
    for (const Case& c : cases) {
        TgaSpec s = tga(1, 8, 2, 2);
        s.mapEntryBits = 24;
        s.colourMap = {1, 2, 3};
        c.edit(s);
        EXPECT_EQ(read(makeTga(s), "x.tga"), lnd::kImageUnsupported) << c.what;
        EXPECT_FALSE(m_image) << c.what;
    }
    TgaSpec t = tga(2, 16, 2, 2);
    EXPECT_EQ(read(makeTga(t), "x.tga"), lnd::kImageUnsupported);
    // Sides larger than the data: refused before any allocation for them.
    TgaSpec big = tga(2, 32, 2, 2);
    auto bytes = makeTga(big);
    put16(bytes, 12, 16000);
    put16(bytes, 14, 16000);
    EXPECT_EQ(read(bytes, "x.tga"), lnd::kImageCorrupt);
}

TEST(ImageKinds, SetSizeCropAndCanvas) {
    CImage32 img;
    EXPECT_FALSE(img.SetSize(-1, 4));
    EXPECT_FALSE(img.SetSize(lnd::kMaxImageSide + 1, 1));
    EXPECT_EQ(img.width(), 0);
    ASSERT_TRUE(img.SetSize(4, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) img.pixel(x, y)[1] = std::uint8_t(10 * y + x);
    img.crop(1, 1, 10, 10);  // clipped to 3 x 2
    ASSERT_EQ(img.width(), 3);
    ASSERT_EQ(img.height(), 2);
    EXPECT_EQ(img.pixel(0, 0)[1], 11);
    EXPECT_EQ(img.pixel(2, 1)[1], 23);
    ASSERT_TRUE(img.resizeCanvas(4, 1));
    EXPECT_EQ(img.pixel(2, 0)[1], 13);
    EXPECT_EQ(img.pixel(3, 0)[1], 0);
}

// The Result face of the readers: every refusal names the file, the system's reason where it
// refused to open it, BadInput for anything the readers cannot take; no image is left behind.
TEST_F(ReaderTest, RefusalsComeWithTheFileAndTheReason) {
    auto truncated = [](std::vector<std::uint8_t> bytes, std::size_t keep) {
        bytes.resize(keep);
        return bytes;
    };
    TgaSpec rle = tga(2, 24, 2, 2);
    rle.imageType = 10;
    std::vector<std::uint8_t> bmp1 = makeBmp(bmp24(2, 2));
    bmp1[28] = 1;   // bits per pixel
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;   // empty with `absent`: no file
        bool absent;
        lnd::Status status;
        const char* reason;
    } cases[] = {
        {"ok.bmp", makeBmp(bmp24(2, 2)), false, lnd::Status::Ok, ""},
        {"missing.bmp", {}, true, lnd::Status::IoFailed, "missing.bmp: No such file or directory"},
        {"picture.png", makeBmp(bmp24(2, 2)), false, lnd::Status::BadInput, "picture.png: not a .bmp or .tga file"},
        {"one-bit.bmp", bmp1, false, lnd::Status::BadInput, "one-bit.bmp: unsupported BMP variant"},
        {"rle.tga", makeTga(rle), false, lnd::Status::BadInput, "rle.tga: unsupported TGA variant"},
        {"cut.bmp", truncated(makeBmp(bmp24(4, 4)), 60), false, lnd::Status::BadInput, "cut.bmp: truncated or corrupt"},
        {"header.bmp", truncated(makeBmp(bmp24(4, 4)), 20), false, lnd::Status::BadInput, "header.bmp: truncated"},
        {"cut.tga", truncated(makeTga(tga(2, 24, 4, 4)), 30), false, lnd::Status::BadInput, "cut.tga: truncated"},
        {"empty.tga", {}, false, lnd::Status::BadInput, "empty.tga: truncated"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = m_dir.file(c.name);
        if (!c.absent) writeBytes(path, c.bytes);
        const lnd::Result r = lnd::readImageFile(path, m_image);
        EXPECT_EQ(r.status(), c.status) << r.message();
        EXPECT_NE(r.message().find(c.reason), std::string::npos) << r.message();
        EXPECT_EQ(r.systemError(), c.absent ? ENOENT : 0);
        EXPECT_EQ(bool(m_image), c.status == lnd::Status::Ok);
    }
}
