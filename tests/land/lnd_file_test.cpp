#include "format/lnd_file.h"
#include "land/lores_record.h"
#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace lnd;
using lndtest::LandBuilder;

namespace {

std::size_t expectedSize(std::size_t l, std::size_t blocks, std::size_t c, std::size_t m) {
    return 1052 + 65680 * l + 2520 * blocks + 3076 * c + 131074 * m + 131072;
}

}  // namespace

TEST(LndLayout, SectionsFollowFromTheCountsAlone) {
    auto image = LandBuilder().loResTextures(2).countries(3).materials(2).block(0, 0).block(1, 0).build();
    ASSERT_EQ(image.size(), expectedSize(2, 2, 3, 2));
    LndView view;
    ASSERT_TRUE(view.open(image));
    const LndLayout& l = view.layout();
    EXPECT_EQ(l.numBlockRecords, 2);
    EXPECT_EQ(l.blocksOffset, 1052u + 2 * 65680);
    EXPECT_EQ(l.countriesOffset, l.blocksOffset + 2 * 2520);
    EXPECT_EQ(l.materialsOffset, l.countriesOffset + 3 * 3076);
    EXPECT_EQ(l.noiseOffset, l.materialsOffset + 2 * 131074);
    EXPECT_EQ(l.bumpOffset, l.noiseOffset + 65536);
    EXPECT_EQ(l.fileSize, image.size());
    EXPECT_EQ(view.header().NumBlocks, 3);  // records + 1 in the file
    EXPECT_EQ(view.block(1).GridX, 1);
}

TEST(LndLayout, NoTexturesPutsBlocksRightAfterTheHeader) {
    auto image = LandBuilder().loResTextures(0).block(3, 4).build();
    LndView view;
    ASSERT_TRUE(view.open(image));
    EXPECT_EQ(view.layout().blocksOffset, 1052u);
    EXPECT_EQ(view.block(0).GridZ, 4);
    // GridX lives at byte 2324 of the record.
    EXPECT_EQ(image[1052 + 2324], 3);
}

TEST(LndLayout, NoBlocksPutsCountriesRightAfterTheTextures) {
    auto image = LandBuilder().loResTextures(1).countries(2).build();
    LndView view;
    ASSERT_TRUE(view.open(image));
    EXPECT_EQ(view.blockCount(), 0);
    EXPECT_EQ(view.layout().countriesOffset, 1052u + 65680);
    EXPECT_EQ(view.country(1).Index, 1);
}

TEST(LndRecords, FieldsSitAtTheirFileOffsets) {
    std::vector<std::uint8_t> bytes(kBlockSize, 0);
    auto* block = recordAt<TLndBlock>(bytes.data(), 0);
    block->Cells[2][3].Altitude = 0xAB;
    block->Cells[2][3].CellFlags = 0x1234;
    block->MapX = 320.0f;
    block->LoResY = -2;
    const std::size_t cell = 8 * (17 * 2 + 3);
    EXPECT_EQ(bytes[cell + 4], 0xAB);
    EXPECT_EQ(bytes[cell + 6], 0x34);  // little-endian
    EXPECT_EQ(bytes[cell + 7], 0x12);
    EXPECT_EQ(bytes[2316 + 3], 0x43);  // 320.0f = 0x43A00000
    EXPECT_EQ(bytes[2316 + 2], 0xA0);
    EXPECT_EQ(bytes[2512], 0xFE);
    EXPECT_EQ(bytes[2515], 0xFF);
    EXPECT_EQ(block->Cells[2][3].countryIndex(), 4);
}

TEST(LndWritePlain, ReproducesEveryByteIncludingOpaqueOnes) {
    auto image = LandBuilder().loResTextures(2).countries(2).materials(3)
                     .block(0, 0).block(5, 7).orphanBlock().block(31, 31).build();
    LndView view;
    ASSERT_TRUE(view.open(image));
    EXPECT_EQ(writePlain(partsOf(view)), image);
}

TEST(LndWritePlain, DropsTrailingBytesButKeepsTheLand) {
    auto image = LandBuilder().block(1, 1).build();
    auto longer = image;
    longer.push_back(0x5A);
    LndView view;
    ASSERT_TRUE(view.open(longer));
    EXPECT_EQ(view.layout().trailingBytes, 1u);
    EXPECT_EQ(writePlain(partsOf(view)), image);
}

TEST(LndWriteCompacting, RenumbersInGridOrderAndDropsUnreferencedBlocks) {
    // Stored order differs from grid order; one record is referenced by no square.
    auto image = LandBuilder().loResTextures(1).block(2, 0).orphanBlock().block(0, 5).block(0, 1).build();
    LndView view;
    ASSERT_TRUE(view.open(image));
    auto out = writeCompacting(partsOf(view));

    LndView compact;
    ASSERT_TRUE(compact.open(out));
    ASSERT_EQ(compact.blockCount(), 3);
    EXPECT_EQ(compact.header().NumBlocks, 4);
    EXPECT_EQ(compact.header().BlockSize, 3 * 2520);
    // gx-major walk: (0,1), (0,5), (2,0).
    const int expected[3][2] = {{0, 1}, {0, 5}, {2, 0}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(compact.block(k).BlockNumber, k + 1);
        EXPECT_EQ(compact.block(k).GridX, expected[k][0]);
        EXPECT_EQ(compact.block(k).GridZ, expected[k][1]);
        EXPECT_EQ(compact.header().BlockIndex[expected[k][0]][expected[k][1]], k + 1);
    }
    // Everything but the renumbering is carried byte for byte.
    const TLndBlock& before = view.block(3);  // the block of square (0,1)
    const TLndBlock& after = compact.block(0);
    EXPECT_EQ(std::memcmp(&before, &after, 2312), 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const std::uint8_t*>(&before) + 2316,
                          reinterpret_cast<const std::uint8_t*>(&after) + 2316, 2520 - 2316), 0);
    EXPECT_EQ(std::memcmp(&compact.noiseMap(), &view.noiseMap(), kNoiseMapSize), 0);
    EXPECT_EQ(std::memcmp(&compact.loRes(0), &view.loRes(0), kLoResTexSize), 0);
}

TEST(LndWriteCompacting, EmptyGridLeavesNoBlocks) {
    auto image = LandBuilder().orphanBlock().orphanBlock().build();
    LndView view;
    ASSERT_TRUE(view.open(image));
    auto out = writeCompacting(partsOf(view));
    LndView compact;
    ASSERT_TRUE(compact.open(out));
    EXPECT_EQ(compact.header().NumBlocks, 1);
    EXPECT_EQ(compact.header().BlockSize, 0);
    EXPECT_EQ(out.size(), expectedSize(1, 0, 1, 1));
}

// Squares may share a record, so a compacted land can need more than the 255 numbers a
// BlockIndex byte holds: the first 255 squares in grid order keep their blocks, each as its
// own record; every square after them becomes sea. Checked below, at and one past the cap.
TEST(LndWriteCompacting, SharedRecordsStopAtTheLastBlockNumber) {
    constexpr int kRecords = 10;
    for (const int squares : {1, 254, 255, 256, 300}) {
        SCOPED_TRACE(squares);
        LandBuilder builder;
        for (int r = 0; r < kRecords; ++r) builder.orphanBlock();
        builder.header([squares](TLndHeader& h) {
            for (int k = 0; k < squares; ++k) h.BlockIndex[k / kGridSize][k % kGridSize] = std::uint8_t(k % kRecords + 1);
        });
        const auto image = builder.build();
        LndView view;
        ASSERT_TRUE(view.open(image));
        const auto out = writeCompacting(partsOf(view));
        LndView compact;
        ASSERT_TRUE(compact.open(out));
        const int kept = std::min(squares, 255);
        ASSERT_EQ(compact.blockCount(), kept);
        EXPECT_EQ(compact.header().NumBlocks, kept + 1);
        EXPECT_EQ(compact.header().BlockSize, kept * 2520);
        EXPECT_EQ(out.size(), expectedSize(1, std::size_t(kept), 1, 1));
        for (int k = 0; k < kGridSize * kGridSize; ++k) {
            const int number = compact.header().BlockIndex[k / kGridSize][k % kGridSize];
            ASSERT_EQ(number, k < kept ? k + 1 : 0) << "square " << k;
            if (number == 0) continue;
            // The record the square named, renumbered and otherwise byte for byte.
            const TLndBlock& from = view.block(std::size_t(k % kRecords));
            const TLndBlock& to = compact.block(std::size_t(k));
            EXPECT_EQ(to.BlockNumber, k + 1);
            EXPECT_EQ(std::memcmp(&from, &to, 2312), 0);
        }
    }
}

struct BrokenCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> breakIt;
    LndStatus status;
    std::size_t offset;
};

class LndBrokenFiles : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(LndBrokenFiles, AreRefusedWithStatusAndOffset) {
    auto image = LandBuilder().loResTextures(2).countries(2).materials(2).block(0, 0).block(1, 2).build();
    GetParam().breakIt(image);
    LndView view;
    LndCheck check = view.open(image, ImageCheck::Full);
    EXPECT_FALSE(check);
    EXPECT_FALSE(view.valid());
    EXPECT_EQ(check.status, GetParam().status) << check.message;
    EXPECT_EQ(check.offset, GetParam().offset) << check.message;
    EXPECT_NE(check.message.find("at byte " + std::to_string(GetParam().offset)), std::string::npos);
}

void setI32(std::vector<std::uint8_t>& img, std::size_t at, std::int32_t v) { storeU32(img.data() + at, std::uint32_t(v)); }

INSTANTIATE_TEST_SUITE_P(Table, LndBrokenFiles, ::testing::Values(
    BrokenCase{"Empty", [](auto& img) { img.clear(); }, LndStatus::TooShortForHeader, 0},
    BrokenCase{"HalfHeader", [](auto& img) { img.resize(600); }, LndStatus::TooShortForHeader, 600},
    BrokenCase{"ZeroBlocks", [](auto& img) { setI32(img, 0, 0); }, LndStatus::BadBlockCount, 0},
    BrokenCase{"NegativeBlocks", [](auto& img) { setI32(img, 0, -5); }, LndStatus::BadBlockCount, 0},
    BrokenCase{"NegativeCountries", [](auto& img) { setI32(img, 1032, -1); }, LndStatus::BadCountryCount, 1032},
    BrokenCase{"NegativeMaterials", [](auto& img) { setI32(img, 1028, INT32_MIN); }, LndStatus::BadMaterialCount, 1028},
    BrokenCase{"HugeTextureCount", [](auto& img) { storeU32(img.data() + 1048, 0xFFFFFFFFu); }, LndStatus::Truncated,
               expectedSize(2, 2, 2, 2)},
    BrokenCase{"HugeBlockCount", [](auto& img) { setI32(img, 0, INT32_MAX); }, LndStatus::Truncated, expectedSize(2, 2, 2, 2)},
    BrokenCase{"MissingLastByte", [](auto& img) { img.pop_back(); }, LndStatus::Truncated, expectedSize(2, 2, 2, 2) - 1},
    BrokenCase{"IndexBeyondRecords", [](auto& img) { img[4 + 32 * 7 + 9] = 3; }, LndStatus::BlockIndexOutOfRange, 4 + 32 * 7 + 9},
    BrokenCase{"DdsSizeTooLarge", [](auto& img) { setI32(img, 1052 + 65680 + 16, 65665); }, LndStatus::BadDdsSize,
               1052 + 65680 + 16},
    BrokenCase{"DdsSizeNegative", [](auto& img) { setI32(img, 1052 + 16, -4); }, LndStatus::BadDdsSize, 1052 + 16}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LndBrokenFiles, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
    auto image = LandBuilder().loResTextures(1).block(0, 0).build();
    // Every prefix short of the whole file must fail; the sanitizer build catches any overread.
    for (std::size_t n = 0; n < image.size(); n += (n < 2000 ? 1 : 997)) {
        std::vector<std::uint8_t> prefix(image.begin(), image.begin() + std::ptrdiff_t(n));
        LndLayout layout;
        ASSERT_FALSE(checkImage(prefix, layout)) << n;
    }
    LndLayout layout;
    EXPECT_TRUE(checkImage(image, layout));
}

TEST(LndLoResRecord, FreshRecordDescribesA256SquareDxt3Surface) {
    TLndLoResTex rec{};
    initLoResRecord(rec);
    EXPECT_EQ(rec.DdsSize, 65664);
    EXPECT_EQ(loadU32(rec.DdsHeader), 124u);
    EXPECT_EQ(loadU32(rec.DdsHeader + 8), 256u);
    EXPECT_EQ(loadU32(rec.DdsHeader + 12), 256u);
    EXPECT_EQ(loadU32(rec.DdsHeader + 16), 65536u);
    EXPECT_EQ(std::memcmp(rec.DdsHeader + 80, "DXT3", 4), 0);
}

TEST(LndBigMap, DumpsPlaceCellsAndSkipWhatFallsOutside) {
    std::vector<std::uint8_t> map(kBigMapSize, 0);
    TLndBlock block{};
    block.GridX = 31;
    block.GridZ = 2;
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; ++j) {
            block.Cells[i][j].Altitude = std::uint8_t(i * 17 + j);
            block.Cells[i][j].CellFlags = 0xF3 | 0x100;
        }
    dumpBlockIntoBigMap(block, DumpChoice::Altitude, map.data());
    EXPECT_EQ(map[(31 * 16 + 3) * 512 + 2 * 16 + 5], 3 * 17 + 5);
    EXPECT_EQ(map[(31 * 16 + 15) * 512 + 2 * 16 + 16], std::uint8_t(15 * 17 + 16));  // 17th column reaches the next block
    dumpBlockIntoBigMap(block, DumpChoice::Country, map.data());
    EXPECT_EQ(map[(31 * 16) * 512 + 32], 3);
    EXPECT_EQ(map[(31 * 16) * 512 + 48], 16);  // country dump leaves the 17th column alone
    dumpBlockIntoBigMap(block, DumpChoice::Split, map.data());
    EXPECT_EQ(map[(31 * 16) * 512 + 32], 128);

    TLndBlock stray{};
    stray.GridX = -1;
    stray.GridZ = 40;
    std::vector<std::uint8_t> before = map;
    dumpBlockIntoBigMap(stray, DumpChoice::Altitude, map.data());
    EXPECT_EQ(map, before);
}
