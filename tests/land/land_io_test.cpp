#include "land/land.h"

#include "base/messages.h"
#include "base/settings.h"
#include "d3dframework/texture.h"
#include "support/editor_land.h"
#include "support/land_builder.h"
#include "textures/synthesis.h"
#include "codec/texture_compressor.h"
#include "tools/block_deletion.h"
#include "view/terrain_land.h"
#include "view/terrain_mesh.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include <sys/resource.h>
#include <unistd.h>

using namespace lnd;
using lndtest::LandBuilder;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

// Flags as a function of the world cell, so shared borders already agree and every cell is
// Water: the edge sync has nothing left to change and a save must give the file back.
std::uint16_t inLineFlags(int x, int z, int countries) {
    std::uint16_t f = kWater | std::uint16_t((x + 2 * z) % countries);
    if ((x * 7 + z * 3) % 3 == 0) f |= kSplit;
    if ((x + z) % 5 == 0) f |= 0x1000;   // an opaque bit rides along
    return f;
}

LandBuilder::BlockFill inLine(int gx, int gz, int countries) {
    return [=](TLndBlock& b) {
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j)
                b.Cells[i][j].CellFlags = inLineFlags(gx * 16 + i, gz * 16 + j, countries);
    };
}

LandBuilder inLineLand() {
    LandBuilder b;
    b.block(2, 3, inLine(2, 3, 3)).block(3, 3, inLine(3, 3, 3)).block(2, 4, inLine(2, 4, 3))
        .block(10, 10, inLine(10, 10, 3));
    b.countries(3).materials(2).loResTextures(2);
    return b;
}

// A land on a mesh as the shell holds it after opening a file.
using Session = lndtest::EditorLand;

std::vector<std::uint8_t> dxt3Bytes(const std::vector<std::uint8_t>& file, std::size_t record) {
    LndLayout layout;
    EXPECT_TRUE(checkImage(file, layout));
    const std::size_t at = layout.loResOffset + record * kLoResTexSize + kLoResDataOffset;
    return {file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + kLoResDataSize)};
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Caps the address space at what the process maps now plus `headroom`, so a larger
// allocation throws std::bad_alloc. For death-test children only.
void capMemory(std::size_t headroom) {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit cap{limit, limit};
    ::setrlimit(RLIMIT_AS, &cap);
}
#endif

}  // namespace

TEST(LandSave, UneditedLoadAndQuickSaveWritesTheSameBytes) {
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("out.lnd")), readBytes(in));
    EXPECT_TRUE(s.messages.entries().empty());
    EXPECT_FALSE(s.land.modified());

    // And again from the saved file: saving is a fixed point.
    Session again;
    ASSERT_TRUE(again.open(dir.file("out.lnd")));
    ASSERT_TRUE(again.save(dir.file("out2.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("out2.lnd")), readBytes(in));
}

TEST(LandSave, FoldsMeshHeightsAndDiagonalsBackIntoTheCells) {
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    TLndBlock& b0 = s.land.blocks()[0];
    const bool splitBefore = b0.Cells[4][5].has(kSplit);

    // A brush step clears Split in the cells but not the triangles: the drawn diagonal wins.
    b0.Cells[4][5].CellFlags = std::uint16_t(b0.Cells[4][5].CellFlags ^ kSplit);
    // Heights written into the full mesh alone; out-of-range ones are clamped.
    DeviceMesh* full = const_cast<DeviceMesh*>(s.mesh.mesh(0, MeshLevel::Full));
    ASSERT_NE(full, nullptr);
    auto* v = reinterpret_cast<TerrainVertex*>(full->mutableVertexBytes());
    int seen = 0;
    for (std::uint32_t k = 0; k < full->vertexCount(); ++k) {
        const float x = v[k].position.x, z = v[k].position.z;
        if (x == 2 * 160.0f + 10 * 7 && z == 3 * 160.0f + 10 * 8) { v[k].position.y = 300.0f; ++seen; }
        if (x == 2 * 160.0f + 10 * 1 && z == 3 * 160.0f + 10 * 1) v[k].position.y = -4.0f;
        if (x == 2 * 160.0f + 10 * 2 && z == 3 * 160.0f + 10 * 2) v[k].position.y = std::numeric_limits<float>::quiet_NaN();
        if (x == 2 * 160.0f + 10 * 3 && z == 3 * 160.0f + 10 * 3) v[k].position.y = 77.9f;
    }
    ASSERT_GE(seen, 4);   // an inner vertex belongs to four to eight triangles
    s.land.markModified();
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));

    Session back;
    ASSERT_TRUE(back.open(dir.file("out.lnd")));
    const TLndBlock& r = back.land.blocks()[0];
    EXPECT_EQ(r.Cells[7][8].Altitude, 255);
    EXPECT_EQ(r.Cells[1][1].Altitude, 0);
    EXPECT_EQ(r.Cells[2][2].Altitude, 0);
    EXPECT_EQ(r.Cells[3][3].Altitude, 77);
    EXPECT_EQ(r.Cells[4][5].has(kSplit), splitBefore);
}

TEST(LandSave, EveryBlockOfALargeLandFoldsItsOwnMesh) {
    // A large land's blocks are folded on two threads: blocks at both ends of each half take
    // the heights of their own meshes, and the others keep theirs.
    TempDir dir;
    LandBuilder builder;
    constexpr int kBlocks = 80;
    for (int k = 0; k < kBlocks; ++k) builder.block(8 + k % 16, 8 + k / 16, inLine(8 + k % 16, 8 + k / 16, 3));
    builder.countries(3).materials(2).loResTextures(2);
    Session s;
    ASSERT_TRUE(s.open(builder.writeTo(dir.file("in.lnd"))));
    const int edited[] = {0, kBlocks / 2 - 1, kBlocks / 2, kBlocks - 1};
    for (const int b : edited) {
        DeviceMesh* full = const_cast<DeviceMesh*>(s.mesh.mesh(b, MeshLevel::Full));
        ASSERT_NE(full, nullptr) << "block " << b;
        auto* v = reinterpret_cast<TerrainVertex*>(full->mutableVertexBytes());
        for (std::uint32_t k = 0; k < full->vertexCount(); ++k) v[k].position.y = float(100 + b);
    }
    s.land.markModified();
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));

    Session back;
    ASSERT_TRUE(back.open(dir.file("out.lnd")));
    Session original;
    ASSERT_TRUE(original.open(dir.file("in.lnd")));
    for (int b = 0; b < kBlocks; ++b) {
        const bool wasEdited = std::find(std::begin(edited), std::end(edited), b) != std::end(edited);
        const TLndBlock& got = back.land.blocks()[std::size_t(b)];
        const TLndBlock& was = original.land.blocks()[std::size_t(b)];
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j)
                ASSERT_EQ(got.Cells[i][j].Altitude, wasEdited ? 100 + b : was.Cells[i][j].Altitude)
                    << "block " << b << " cell " << i << "," << j;
    }
}

TEST(LandSave, DiagonalComesFromTheTrianglesNotTheirOrder) {
    // Every square of one block cut the other way round in the mesh: the save must write
    // the new diagonals for cells 0..15 and leave row and column 16 alone.
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    const std::vector<std::uint8_t> original = readBytes(in);
    TLndBlock& b = s.land.blocks()[3];
    for (auto& row : b.Cells)
        for (TLndCell& c : row) c.CellFlags = std::uint16_t(c.CellFlags ^ kSplit);
    s.mesh.BuildGeometry(s.land.blocks(), s.land.m_bounds);
    s.mesh.LinkNeighbours();
    s.mesh.BuildAllMeshes();
    for (auto& row : b.Cells)   // cells back as loaded; only the mesh knows the change
        for (TLndCell& c : row) c.CellFlags = std::uint16_t(c.CellFlags ^ kSplit);
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));

    Session back;
    ASSERT_TRUE(back.open(dir.file("out.lnd")));
    LndView orig;
    ASSERT_TRUE(orig.open(original));
    const TLndBlock& before = orig.block(3);
    const TLndBlock& after = back.land.blocks()[3];
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j) {
            const bool flipped = i < 16 && j < 16;
            EXPECT_EQ(after.Cells[i][j].has(kSplit), before.Cells[i][j].has(kSplit) != flipped) << i << "," << j;
        }
}

TEST(LandSave, ClampsEveryCountryIndexAndKeepsTheOtherBits) {
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    s.land.blocks()[1].Cells[16][16].CellFlags = std::uint16_t(kWater | kSplit | 9);
    s.land.blocks()[2].Cells[0][0].CellFlags = std::uint16_t(kCoast | 15);
    s.mesh.ReleaseBlockMeshes(2);   // a block without meshes is clamped as well
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));
    LndView v;
    const std::vector<std::uint8_t> out = readBytes(dir.file("out.lnd"));
    ASSERT_TRUE(v.open(out));
    EXPECT_EQ(v.block(1).Cells[16][16].CellFlags, kWater | kSplit | 2);
    EXPECT_EQ(v.block(2).Cells[0][0].CellFlags, kCoast | 2);
}

TEST(LandSave, EditSurvivesSaveAndLoad) {
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    s.land.blocks()[0].Cells[5][6].Altitude = 201;
    const int changed[] = {0};
    s.mesh.RebuildBlocks(changed, s.land.blocks());
    s.land.markModified();
    ASSERT_TRUE(s.save(dir.file("in.lnd"), SaveKind::Quick));   // over the opened file
    Session back;
    ASSERT_TRUE(back.open(in));
    EXPECT_EQ(back.land.blocks()[0].Cells[5][6].Altitude, 201);
}

TEST(LandSave, CompactingSaveRenumbersInGridOrderAndLeavesTheLandAsHeld) {
    TempDir dir;
    // Record order differs from grid order: (5,0) is record 1, (1,0) record 2, (3,0) record 3.
    const std::string in = LandBuilder().block(5, 0).block(1, 0).block(3, 0).writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    const std::vector<std::uint8_t> heldBefore(s.land.fileImage().begin(), s.land.fileImage().end());
    s.tool.block = 0;   // delete block number 1
    ASSERT_TRUE(DeleteCursorBlock(s.land, s.mesh, s.tool.block));
    EXPECT_TRUE(s.land.blocksDeleted());
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));

    const std::vector<std::uint8_t> out = readBytes(dir.file("out.lnd"));
    LndView v;
    ASSERT_TRUE(v.open(out));
    EXPECT_EQ(int(v.header().NumBlocks), 3);
    ASSERT_EQ(v.blockCount(), 2);
    EXPECT_EQ(v.header().BlockIndex[1][0], 1);
    EXPECT_EQ(v.header().BlockIndex[3][0], 2);
    EXPECT_EQ(v.header().BlockIndex[5][0], 0);
    EXPECT_EQ(float(v.block(0).MapX), 160.0f);
    EXPECT_EQ(int(v.block(0).BlockNumber), 1);
    EXPECT_EQ(float(v.block(1).MapX), 480.0f);
    EXPECT_EQ(int(v.block(1).BlockNumber), 2);

    // The image in memory still numbers blocks by record: only the deleted square changed.
    std::vector<std::uint8_t> expected = heldBefore;
    recordAt<TLndHeader>(expected.data(), 0)->BlockIndex[5][0] = 0;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), s.land.fileImage().begin()));
    EXPECT_EQ(s.land.numBlocks(), 3);
}

TEST(LandSave, LowResolutionRecordsFollowTheirTexturesOrKeepTheirBytes) {
    TempDir dir;
    // Two blocks in tiles (0,0) and (64,0) of texture 0; texture 1 holds no block.
    const std::string in = LandBuilder().block(0, 1).block(1, 1).loResTextures(3).writeTo(dir.file("in.lnd"));
    const std::vector<std::uint8_t> original = readBytes(in);
    Session s;
    ASSERT_TRUE(s.open(in));
    s.land.textures().loRes().release(2);   // a texture the device could not make
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Full));   // full save: both tiles refreshed
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"Fails to get surfaceLevel 0"});

    const std::vector<std::uint8_t> out = readBytes(dir.file("out.lnd"));
    EXPECT_EQ(dxt3Bytes(out, 1), dxt3Bytes(original, 1));
    EXPECT_EQ(dxt3Bytes(out, 2), dxt3Bytes(original, 2));
    const std::vector<std::uint8_t> a = dxt3Bytes(original, 0), b = dxt3Bytes(out, 0);
    // DXT3 block (bx, by) is at 16 * (64 * by + bx); the tiles cover bx 0..31, by 0..15.
    bool tilesChanged = false;
    for (int by = 0; by < 64; ++by)
        for (int bx = 0; bx < 64; ++bx) {
            const std::size_t at = std::size_t(16 * (64 * by + bx));
            const bool same = std::memcmp(a.data() + at, b.data() + at, 16) == 0;
            if (by < 16 && bx < 32) tilesChanged |= !same;
            else ASSERT_TRUE(same) << bx << "," << by;
        }
    EXPECT_TRUE(tilesChanged);
    // Synthesised tiles are on the device, so the next quick save writes them again.
    ASSERT_TRUE(s.save(dir.file("out2.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("out2.lnd")), out);
}

TEST(LandSave, RecompressesA32BitTextureAndSkipsSurfacesOfAnotherSize) {
    TempDir dir;
    const std::string in = LandBuilder().block(0, 1).loResTextures(3).writeTo(dir.file("in.lnd"));
    const std::vector<std::uint8_t> original = readBytes(in);
    Session s;
    ASSERT_TRUE(s.open(in));
    std::unique_ptr<DeviceTexture> argb, small, locked;
    // A 32-bit texture that cannot be locked: the record keeps its bytes and the user hears
    // why.
    ASSERT_EQ(DeviceTexture::create(256, 256, 1, TextureFormat::A8R8G8B8, locked), kDeviceOk);
    LockedRect held;
    ASSERT_EQ(locked->lockRect(0, held, nullptr, LockMode::ReadWrite), kDeviceOk);
    s.land.textures().loRes().set(2, TextureHandle(std::move(locked)));
    ASSERT_EQ(DeviceTexture::create(256, 256, 1, TextureFormat::A8R8G8B8, argb), kDeviceOk);
    CImage32 expectedImage(256, 256);
    std::uint8_t* bits = argb->mutableLevelBytes(0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* t = bits + argb->levelPitch(0) * std::size_t(y) + 4 * std::size_t(x);
            t[0] = std::uint8_t(x), t[1] = std::uint8_t(y), t[2] = std::uint8_t(x ^ y), t[3] = 255;
            std::uint8_t* p = expectedImage.pixel(x, y);
            p[0] = 255, p[1] = std::uint8_t(x ^ y), p[2] = std::uint8_t(y), p[3] = std::uint8_t(x);
        }
    ASSERT_EQ(DeviceTexture::create(128, 128, 1, TextureFormat::Dxt3, small), kDeviceOk);
    s.land.textures().loRes().set(0, TextureHandle(std::move(argb)));
    s.land.textures().loRes().set(1, TextureHandle(std::move(small)));
    ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));

    CTextureCompressor compressor;
    ASSERT_EQ(compressor.Compress(expectedImage), 0);
    const std::vector<std::uint8_t> out = readBytes(dir.file("out.lnd"));
    EXPECT_EQ(dxt3Bytes(out, 0), std::vector<std::uint8_t>(compressor.data(), compressor.data() + compressor.size()));
    EXPECT_EQ(dxt3Bytes(out, 1), dxt3Bytes(original, 1));
    EXPECT_EQ(dxt3Bytes(out, 2), dxt3Bytes(original, 2));
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"sorry your car does not support the saving of textures, "
                                                           "you can do it in the computer of some friend"});
}

TEST(LandSave, DeviceRestoreKeepsBlockTexturesAndTheirTiles) {
    TempDir dir;
    const std::string in = LandBuilder().block(0, 1).block(1, 1).block(2, 1).loResTextures(1).writeTo(dir.file("in.lnd"));
    // Block 1 edited and drawn again: its texture and tile are new, its record's tile old.
    const auto editAndDraw = [](Session& s) {
        for (auto& row : s.land.blocks()[1].Cells)
            for (TLndCell& c : row) c.Altitude = 200;
        const std::vector<int> changed{1};
        s.mesh.RebuildBlocks(changed, s.land.blocks());
        s.land.blocksEdited(changed);
        for (int b = 0; b < 3; ++b) SynthesizeBlockTexture(s.land, b);
    };
    Session expected;
    ASSERT_TRUE(expected.open(in));
    editAndDraw(expected);
    ASSERT_TRUE(expected.save(dir.file("expected.lnd"), SaveKind::Quick));

    Session s;
    ASSERT_TRUE(s.open(in));
    editAndDraw(s);
    std::vector<const DeviceTexture*> made;
    for (int b = 0; b < 3; ++b) made.push_back(s.land.textures().blocks().at(std::size_t(b)).get());
    recreateDeviceObjects(s.mesh, s.land);   // a device restore
    for (int b = 0; b < 3; ++b) EXPECT_EQ(s.land.textures().blocks().at(std::size_t(b)).get(), made[std::size_t(b)]) << b;
    // The kept textures gave their tiles back to the remade low-resolution texture.
    ASSERT_TRUE(s.save(dir.file("quick.lnd"), SaveKind::Quick));
    EXPECT_EQ(readBytes(dir.file("quick.lnd")), readBytes(dir.file("expected.lnd")));
    EXPECT_NE(readBytes(dir.file("quick.lnd")), readBytes(in));
    EXPECT_TRUE(s.messages.texts().empty());

    // What drops them: the map initialisation and a load.
    levelMap(s.mesh, s.land, s.tool.level);
    EXPECT_FALSE(s.land.textures().blocks().has(0));
    SynthesizeBlockTexture(s.land, 0);
    ASSERT_TRUE(s.open(in));
    EXPECT_FALSE(s.land.textures().blocks().has(0));
}

TEST(LandSave, FailedSaveKeepsTheTargetAndTheModifiedFlag) {
    TempDir dir;
    const std::string in = inLineLand().writeTo(dir.file("in.lnd"));
    Session s;
    ASSERT_TRUE(s.open(in));
    s.land.markModified();
    std::filesystem::create_directory(dir.file("taken"));
    std::ofstream(dir.file("taken/keep")) << "x";
    EXPECT_FALSE(s.save(dir.file("taken"), SaveKind::Quick));
    EXPECT_FALSE(s.save(dir.file("missing/out.lnd"), SaveKind::Quick));
    EXPECT_EQ(s.messages.texts(), (std::vector<std::string>{"Problems saving the file ", "Problems saving the file "}));
    EXPECT_TRUE(s.land.modified());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("taken/keep")));
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1);   // no temporary left beside the target
    EXPECT_EQ(s.land.header()->NumBlocks, 4);   // back to the record count
}

TEST(LandSave, WithoutALandWritesNothing) {
    TempDir dir;
    CLand land;
    EXPECT_FALSE(land.Save(dir.file("out.lnd")));
    EXPECT_EQ(land.Save(dir.file("out.lnd")).status(), Status::NotPossible);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.lnd")));
}

TEST(LandLoad, RefusesBadFilesAndReleasesThePreviousLand) {
    TempDir dir;
    const std::vector<std::uint8_t> good = inLineLand().build();
    lndtest::writeBytes(dir.file("good.lnd"), good);

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad;
    bad.push_back({"empty", {}});
    bad.push_back({"header only", {good.begin(), good.begin() + 1052}});
    bad.push_back({"one byte short", {good.begin(), good.end() - 1}});
    std::vector<std::uint8_t> index = good;
    recordAt<TLndHeader>(index.data(), 0)->BlockIndex[7][7] = 5;   // 4 records
    bad.push_back({"index beyond records", index});
    std::vector<std::uint8_t> counts = good;
    recordAt<TLndHeader>(counts.data(), 0)->NumCountries = 1 << 30;
    bad.push_back({"huge count", counts});
    std::vector<std::uint8_t> zero = good;
    recordAt<TLndHeader>(zero.data(), 0)->NumBlocks = 0;
    bad.push_back({"no block count", zero});

    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("bad.lnd");
        lndtest::writeBytes(path, bytes);
        Session s;
        ASSERT_TRUE(s.open(dir.file("good.lnd")));
        s.land.markModified();
        ASSERT_TRUE(s.land.textures().loRes().exists());
        EXPECT_FALSE(s.load(path));
        EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"Error reading the file " + path});
        EXPECT_FALSE(s.land.loaded());
        EXPECT_FALSE(s.land.modified());
        EXPECT_FALSE(s.land.hasImage());
        EXPECT_FALSE(s.land.textures().loRes().exists());
        EXPECT_FALSE(s.land.textures().blocks().exists());
        EXPECT_EQ(s.mesh.blockCount(), 0);
        EXPECT_EQ(s.mesh.mesh(0, MeshLevel::Full), nullptr);
        EXPECT_FALSE(s.save(dir.file("after.lnd"), SaveKind::Quick));
    }
    Session s;
    EXPECT_FALSE(s.load(dir.file("does-not-exist.lnd")));
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"Error reading the file " + dir.file("does-not-exist.lnd")});
}

TEST(LandLoad, OpensAnyDdsSizeAndWritesItBackUnchanged) {
    TempDir dir;
    for (const std::int32_t size : {-4, 0, 127, 65665, std::numeric_limits<std::int32_t>::max()}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> bytes = inLineLand().build();
        LndLayout layout;
        ASSERT_TRUE(checkImage(bytes, layout));
        recordAt<TLndLoResTex>(bytes.data(), std::size_t(layout.loResOffset) + kLoResTexSize)->DdsSize = size;
        EXPECT_EQ(checkImage(bytes, layout).status, LndStatus::BadDdsSize);   // a validator still complains
        const std::string path = dir.file("odd.lnd");
        lndtest::writeBytes(path, bytes);
        Session s;
        ASSERT_TRUE(s.open(path));
        EXPECT_TRUE(s.messages.texts().empty());
        EXPECT_TRUE(s.land.textures().loRes().has(1));
        ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));
        EXPECT_EQ(readBytes(dir.file("out.lnd")), bytes);
    }
}

TEST(LandLoad, OneBlockAtTheOriginLoadsTwoAreRefused) {
    TempDir dir;
    Session s;
    const std::string one = LandBuilder().block(0, 0).block(1, 0).writeTo(dir.file("one.lnd"));
    EXPECT_TRUE(s.open(one));
    EXPECT_TRUE(s.land.loaded());
    EXPECT_EQ(s.mesh.blockCount(), 2);

    const std::string two = LandBuilder().block(0, 0).orphanBlock().writeTo(dir.file("two.lnd"));
    EXPECT_FALSE(s.load(two));
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"The land " + two + " is invalid , unable to open it"});
    EXPECT_FALSE(s.land.loaded());
    EXPECT_FALSE(s.land.hasImage());
    EXPECT_EQ(s.mesh.blockCount(), 0);
}

TEST(LandLoad, ReadsSeaParametersAndFlagsFromTheSettingsAndResetsState) {
    TempDir dir;
    std::ofstream(dir.file("settings.xml"))
        << "<settings><renderEngine><debug>Yes</debug>"
           "<seaParms alphaCoast=\"300\" alphaWater=\"\" altitudeWater=\"  7x\" altitudeCoast=\"-1\"/>"
           "</renderEngine><exports rootDirectory=\"exp/\"/></settings>";
    Session s;
    CSettings settings(s.messages, dir.file("settings.xml"), [](const std::string&) { return BrushBitmap{}; });
    s.settings = landSettingsFrom(settings);
    s.land.history().record(BrushStroke{});
    s.land.setMaterialsExported(true);
    s.land.setNoiseExported(true);
    s.land.setBumpExported(true);
    s.land.setExportDir("old/");
    const std::string path = inLineLand().writeTo(dir.file("in.lnd"));
    ASSERT_TRUE(s.open(path));
    EXPECT_EQ(s.land.m_seaParms.alphaCoast, 44);
    EXPECT_EQ(s.land.m_seaParms.alphaWater, 15);
    EXPECT_EQ(s.land.m_seaParms.alphaFullWater, 0);
    EXPECT_EQ(s.land.m_seaParms.altitudeWater, 7);
    EXPECT_EQ(s.land.m_seaParms.altitudeCoast, 255);
    EXPECT_EQ(s.land.m_seaParms.altitudeFullWater, 1);
    EXPECT_FALSE(s.land.debug());
    EXPECT_EQ(s.land.exportRoot(), "exp/");
    EXPECT_EQ(s.land.path(), path);
    EXPECT_TRUE(s.land.exportDir().empty());
    EXPECT_TRUE(s.land.history().empty());
    EXPECT_FALSE(s.land.materialsExported() || s.land.noiseExported() || s.land.bumpExported());
    EXPECT_EQ(s.land.header()->NumBlocks, 4);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(LandMemory, ExhaustionIsReportedAndChangesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string good = inLineLand().writeTo(dir.file("good.lnd"));
    const std::string huge = inLineLand().writeTo(dir.file("huge.lnd"));
    std::filesystem::resize_file(huge, std::uintmax_t(1) << 30);   // sparse: costs no disk
    // A death-test child runs this body again with a folder of its own and leaves by exit(),
    // which skips destructors: it removes its folder itself.
    const auto finish = [&dir](bool ok) {
        std::error_code ec;
        std::filesystem::remove_all(dir.path(), ec);
        std::exit(ok ? 0 : 1);
    };
    // Reading a file larger than the memory left.
    EXPECT_EXIT(
        {
            Session s;
            const bool opened = s.open(good).ok();
            capMemory(std::size_t(64) << 20);
            const bool refused = s.load(huge).status() == Status::OutOfMemory;
            const bool told = s.messages.texts() == std::vector<std::string>{"Error reading the file " + huge};
            finish(opened && refused && told && !s.land.loaded() && !s.land.hasImage());
        },
        ::testing::ExitedWithCode(0), "");

    // A compacting save whose copy does not fit: the land and the old file stay.
    const std::string target = dir.file("target.lnd");
    std::ofstream(target) << "old";
    EXPECT_EXIT(
        {
            Session s;
            LandBuilder big = inLineLand();
            big.materials(1200);   // about 157 MB of material records
            const bool adopted = static_cast<bool>(s.land.adoptImage(big.build()));
            s.land.setLoaded(true);
            s.land.markModified();
            s.land.setBlocksDeleted(true);
            LoadLoResTextures(s.land);
            const std::vector<std::uint8_t> before(s.land.fileImage().begin(), s.land.fileImage().end());
            capMemory(std::size_t(64) << 20);
            const bool refused = s.save(target, SaveKind::Quick).status() == Status::OutOfMemory;
            const bool told = s.messages.texts() == std::vector<std::string>{"Problems saving the file "};
            const bool same = std::equal(before.begin(), before.end(), s.land.fileImage().begin(),
                                         s.land.fileImage().end());
            finish(adopted && refused && told && same && s.land.modified() && readBytes(target).size() == 3);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

TEST(LandLoad, TakesItsSettingsAsGivenAndSaveShowsTheSurfacesWhenAsked) {
    TempDir dir;
    const std::string path = inLineLand().writeTo(dir.file("in.lnd"));
    for (const bool video : {false, true}) {
        Session s;
        LandSettings given;
        given.sea.altitudeWater = 9;
        given.debug = true;
        given.debugVideo = video;
        given.exportRoot = "root/";
        ASSERT_TRUE(s.land.Load(path, given));
        recreateDeviceObjects(s.mesh, s.land);
        EXPECT_EQ(s.land.m_seaParms.altitudeWater, 9);
        EXPECT_TRUE(s.land.debug());
        EXPECT_EQ(s.land.exportRoot(), "root/");
        ASSERT_TRUE(s.save(dir.file("out.lnd"), SaveKind::Quick));
        // One description per low-resolution texture, only when asked.
        EXPECT_EQ(s.messages.count(), video ? 2u : 0u);
        for (const std::string& text : s.messages.texts())
            EXPECT_EQ(text.rfind("Please post this message in the forum :", 0), 0u);
    }
}
