#include "land/land.h"

#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace lnd;

namespace {

std::vector<std::uint8_t> threeBlockLand(int countries = 2, int materials = 3) {
    return lndtest::LandBuilder()
        .block(0, 0)
        .block(3, 5)
        .block(31, 31)
        .countries(countries)
        .materials(materials)
        .loResTextures(2)
        .build();
}

std::vector<std::uint8_t> bytesOf(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return {b, b + n};
}

}  // namespace

TEST(LandModel, AdoptedImageCountsBlockRecordsAndViewsAddressTheirSections) {
    const std::vector<std::uint8_t> file = threeBlockLand();
    LndLayout layout;
    ASSERT_TRUE(checkImage(file, layout));

    CLand land;
    ASSERT_TRUE(land.adoptImage(file));
    ASSERT_TRUE(land.hasImage());
    EXPECT_EQ(land.fileSize(), file.size());
    EXPECT_EQ(land.header()->NumBlocks, 3);  // the file says 4
    EXPECT_EQ(land.numBlocks(), 3);
    ASSERT_EQ(land.blocks().size(), 3u);
    EXPECT_EQ(float(land.blocks()[1].MapX), 3 * 160.0f);
    EXPECT_EQ(float(land.blocks()[1].MapZ), 5 * 160.0f);
    ASSERT_EQ(land.countries().size(), 2u);
    EXPECT_EQ(land.countries()[1].Index, 1);
    EXPECT_EQ(land.materials().size(), 3u);
    EXPECT_EQ(land.loResTex().size(), 2u);

    const std::uint8_t* base = land.fileImage().data();
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(land.noiseMap()), base + layout.noiseOffset);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(land.bumpMap()), base + layout.bumpOffset);
    EXPECT_EQ(std::memcmp(land.noiseMap(), file.data() + layout.noiseOffset, kNoiseMapSize), 0);

    EXPECT_EQ(land.blockRecordAt(0, 0), 0);
    EXPECT_EQ(land.blockRecordAt(31, 31), 2);
    EXPECT_EQ(land.blockRecordAt(1, 1), -1);
    EXPECT_EQ(land.blockRecordAt(32, 0), -1);
    EXPECT_EQ(land.blockRecordAt(0, -1), -1);
}

TEST(LandModel, RefusedImageLeavesNoLandAndEmptyViews) {
    CLand land;
    ASSERT_TRUE(land.adoptImage(threeBlockLand()));
    std::vector<std::uint8_t> truncated = threeBlockLand();
    truncated.resize(truncated.size() - 1);

    const LndCheck check = land.adoptImage(truncated);
    EXPECT_EQ(check.status, LndStatus::Truncated);
    EXPECT_FALSE(land.hasImage());
    EXPECT_EQ(land.header(), nullptr);
    EXPECT_EQ(land.numBlocks(), 0);
    EXPECT_TRUE(land.blocks().empty());
    EXPECT_TRUE(land.countries().empty());
    EXPECT_EQ(land.noiseMap(), nullptr);
    EXPECT_EQ(land.blockRecordAt(0, 0), -1);

    EXPECT_FALSE(land.adoptImage({}));
    EXPECT_FALSE(land.hasImage());
}

TEST(LandModel, LandWithoutBlocksHasAnEmptyBlockSection) {
    CLand land;
    ASSERT_TRUE(land.adoptImage(lndtest::LandBuilder().build()));
    EXPECT_EQ(land.header()->NumBlocks, 0);
    EXPECT_TRUE(land.blocks().empty());
    land.levelCells(5);
    EXPECT_TRUE(land.modified());
}

TEST(LandModel, CountryImportGrowthKeepsEverySectionAndMovesTheTail) {
    const std::vector<std::uint8_t> file = threeBlockLand(2, 3);
    CLand land;
    ASSERT_TRUE(land.adoptImage(file));
    const auto noiseBefore = bytesOf(land.noiseMap(), kNoiseMapSize);
    const auto bumpBefore = bytesOf(land.bumpMap(), kBumpMapSize);
    const auto blocksBefore = bytesOf(land.blocks().data(), land.blocks().size_bytes());
    const auto countriesBefore = bytesOf(land.countries().data(), land.countries().size_bytes());
    const auto materialsBefore = bytesOf(land.materials().data(), land.materials().size_bytes());
    const auto loResBefore = bytesOf(land.loResTex().data(), land.loResTex().size_bytes());

    CLand::CountryGrowth growth;
    ASSERT_TRUE(land.growForCountryImport(2, &growth));
    EXPECT_EQ(growth.country, 2);
    EXPECT_EQ(growth.firstMaterial, 3);
    EXPECT_TRUE(land.modified());
    EXPECT_EQ(land.fileSize(), file.size() + kCountrySize + 2 * kMaterialSize);
    EXPECT_EQ(land.header()->NumCountries, 3);
    EXPECT_EQ(land.header()->NumMaterials, 5);
    EXPECT_EQ(land.header()->NumBlocks, 3);
    ASSERT_EQ(land.countries().size(), 3u);
    ASSERT_EQ(land.materials().size(), 5u);

    EXPECT_EQ(bytesOf(land.noiseMap(), kNoiseMapSize), noiseBefore);
    EXPECT_EQ(bytesOf(land.bumpMap(), kBumpMapSize), bumpBefore);
    EXPECT_EQ(bytesOf(land.blocks().data(), land.blocks().size_bytes()), blocksBefore);
    EXPECT_EQ(bytesOf(land.loResTex().data(), land.loResTex().size_bytes()), loResBefore);
    EXPECT_EQ(bytesOf(land.countries().data(), 2 * kCountrySize), countriesBefore);
    EXPECT_EQ(bytesOf(land.materials().data(), 3 * kMaterialSize), materialsBefore);
    EXPECT_EQ(bytesOf(&land.countries()[2], kCountrySize), std::vector<std::uint8_t>(kCountrySize, 0));
    EXPECT_EQ(bytesOf(&land.materials()[3], 2 * kMaterialSize),
              std::vector<std::uint8_t>(2 * kMaterialSize, 0));

    // The grown image is a well-formed file again once NumBlocks is stored the file's way.
    std::vector<std::uint8_t> asFile(land.fileImage().begin(), land.fileImage().end());
    recordAt<TLndHeader>(asFile.data(), 0)->NumBlocks = 4;
    LndLayout layout;
    ASSERT_TRUE(checkImage(asFile, layout));
    EXPECT_EQ(layout.fileSize, asFile.size());
    EXPECT_EQ(layout.noiseOffset, land.layout().noiseOffset);
}

TEST(LandModel, CountryImportGrowthWithoutMaterialsAndUpToTheLimit) {
    CLand land;
    ASSERT_TRUE(land.adoptImage(threeBlockLand(13, 1)));
    ASSERT_TRUE(land.growForCountryImport(0));
    EXPECT_EQ(land.numCountries(), 14);
    EXPECT_EQ(land.numMaterials(), 1);
    ASSERT_TRUE(land.growForCountryImport(1));
    EXPECT_EQ(land.numCountries(), 15);

    // A sixteenth country is refused and nothing changes.
    const std::vector<std::uint8_t> before(land.fileImage().begin(), land.fileImage().end());
    land.setModified(false);
    CLand::CountryGrowth growth;
    EXPECT_FALSE(land.growForCountryImport(1, &growth));
    EXPECT_EQ(growth.country, -1);
    EXPECT_FALSE(land.modified());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), land.fileImage().begin(),
                           land.fileImage().end()));
    EXPECT_EQ(land.numCountries(), 15);
}

TEST(LandModel, CountryImportGrowthRefusesBadRequests) {
    CLand empty;
    EXPECT_FALSE(empty.growForCountryImport(1));
    EXPECT_FALSE(empty.hasImage());

    CLand land;
    ASSERT_TRUE(land.adoptImage(threeBlockLand()));
    const std::size_t size = land.fileSize();
    EXPECT_FALSE(land.growForCountryImport(-1));
    EXPECT_EQ(land.fileSize(), size);
}

TEST(LandModel, InitializeMapSetsEveryCellFromTheLevelValue) {
    struct Case {
        std::int32_t level;
        std::uint8_t altitude;
        std::uint16_t flags;
    };
    // Only the lowest byte is the altitude, but Water is set only for a level of exactly 0.
    for (const Case c : {Case{0, 0, kWater}, Case{12, 12, 0}, Case{268, 12, 0}, Case{256, 0, 0}}) {
        CLand land;
        ASSERT_TRUE(land.adoptImage(lndtest::LandBuilder()
                                        .block(0, 0, [](TLndBlock& b) {
                                            for (auto& row : b.Cells)
                                                for (auto& cell : row) cell.CellFlags = 0x0FFF;
                                        })
                                        .block(1, 0)
                                        .build()));
        land.levelCells(c.level);
        for (const TLndBlock& b : land.blocks())
            for (const auto& row : b.Cells)
                for (const TLndCell& cell : row) {
                    ASSERT_EQ(cell.Altitude, c.altitude) << "level " << c.level;
                    ASSERT_EQ(std::uint16_t(cell.CellFlags), c.flags) << "level " << c.level;
                }
        EXPECT_TRUE(land.modified());
    }
}

TEST(LandModel, LevellingReleasesTexturesForgetsHistoryAndCountsAnEditOfEveryBlock) {
    CLand land;
    ASSERT_TRUE(land.adoptImage(threeBlockLand()));
    land.textures().loRes().make(2);
    land.textures().blocks().make(3);
    land.m_bounds.include(1.0f, 200.0f, 3.0f);
    land.history().record(BrushStroke{});
    const int once[] = {1};
    land.blocksEdited(once);
    ASSERT_EQ(land.blockEdits(1), 1u);
    ASSERT_EQ(land.editGeneration(), 1u);

    land.levelCells(9);
    EXPECT_FALSE(land.textures().loRes().exists());
    EXPECT_FALSE(land.textures().blocks().exists());
    EXPECT_TRUE(land.m_bounds.empty());   // measured again by the geometry build that follows
    EXPECT_TRUE(land.history().empty());
    EXPECT_EQ(land.blockEdits(0), 1u);
    EXPECT_EQ(land.blockEdits(1), 2u);
    EXPECT_EQ(land.blockEdits(2), 1u);
    EXPECT_EQ(land.blockEdits(3), 0u);    // past the records
    EXPECT_EQ(land.blockEdits(-1), 0u);
    EXPECT_EQ(land.editGeneration(), 4u);
    EXPECT_TRUE(land.modified());
}

TEST(LandModel, LevellingWithoutLandChangesNothing) {
    CLand land;
    land.levelCells(3);
    EXPECT_FALSE(land.modified());
    EXPECT_EQ(land.editGeneration(), 0u);
}

TEST(LandModel, ConstructionDefaults) {
    CLand land;
    EXPECT_FALSE(land.hasImage());
    EXPECT_FALSE(land.loaded() || land.modified() || land.blocksDeleted() || land.closing() ||
                 land.debug() || land.materialsExported() || land.noiseExported() ||
                 land.bumpExported());
    EXPECT_EQ(land.m_seaParms.alphaCoast, 128);
    EXPECT_EQ(land.m_seaParms.alphaWater, 15);
    EXPECT_EQ(land.m_seaParms.alphaFullWater, 0);
    EXPECT_EQ(land.m_seaParms.altitudeWater, 0);
    EXPECT_EQ(land.m_seaParms.altitudeCoast, 3);
    EXPECT_EQ(land.m_seaParms.altitudeFullWater, 1);
    EXPECT_FALSE(land.textures().loRes().exists());
    EXPECT_FALSE(land.textures().blocks().exists());
    EXPECT_EQ(land.textures().scratch().size(), 262272u);
    EXPECT_TRUE(land.history().empty());
    EXPECT_TRUE(land.m_bounds.empty());
}

TEST(LandModel, BoundsWidenFromTheUnsetExtent) {
    LandBounds b;
    EXPECT_EQ(b.minX, 90000.0f);
    EXPECT_EQ(b.maxY, -90000.0f);
    b.include(10.0f, 5.0f, -3.0f);
    b.include(-2.0f, 7.0f, 4.0f);
    EXPECT_EQ(b.minX, -2.0f);
    EXPECT_EQ(b.maxX, 10.0f);
    EXPECT_EQ(b.minY, 5.0f);
    EXPECT_EQ(b.maxY, 7.0f);
    EXPECT_EQ(b.minZ, -3.0f);
    EXPECT_EQ(b.maxZ, 4.0f);
    b.reset();
    EXPECT_TRUE(b.empty());
}

TEST(ResourceTable, EntriesAreReleasedWhenEmptiedReplacedOrDropped) {
    ResourceTable<std::shared_ptr<int>> table;
    EXPECT_FALSE(table.exists());
    EXPECT_FALSE(table.set(0, std::make_shared<int>(1)));  // no table yet

    table.make(3);
    EXPECT_TRUE(table.exists());
    EXPECT_EQ(table.size(), 3u);
    EXPECT_FALSE(table.has(0));

    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(2);
    EXPECT_TRUE(table.set(1, a));
    EXPECT_EQ(a.use_count(), 2);
    EXPECT_TRUE(table.set(1, b));  // replacing releases the old one
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_FALSE(table.set(3, a));
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_EQ(table.at(7), nullptr);

    table.release(1);
    EXPECT_EQ(b.use_count(), 1);
    EXPECT_TRUE(table.exists());

    table.set(0, a);
    table.set(2, b);
    table.releaseAll();
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_EQ(table.size(), 3u);

    table.set(0, a);
    table.drop();
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_FALSE(table.exists());
    EXPECT_EQ(table.size(), 0u);
}

TEST(LandModel, DeviceTexturesLiveInTheTablesUntilReleased) {
    CLand land;
    ASSERT_TRUE(land.adoptImage(threeBlockLand()));
    land.textures().blocks().make(std::size_t(land.numBlocks()));
    TextureHandle texture;
    ASSERT_EQ(DeviceTexture::create(256, 256, 1, TextureFormat::A8R8G8B8, texture), kDeviceOk);
    ASSERT_TRUE(land.textures().blocks().set(1, std::move(texture)));
    EXPECT_TRUE(land.textures().blocks().has(1));
    EXPECT_EQ(land.textures().blocks().at(1)->width(), 256u);
    EXPECT_FALSE(land.textures().blocks().has(0));

    land.releaseTextures();
    EXPECT_FALSE(land.textures().blocks().exists());
    EXPECT_FALSE(land.textures().blocks().has(1));
}
