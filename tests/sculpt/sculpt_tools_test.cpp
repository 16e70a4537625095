// Clayvane's meshes, normals, picking, strokes, synthesis and the loop's menu and key logic,
// all headless.
#include "sculpt_support.h"

#include "sculpt/screen_saver.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace clay;
using namespace lnd;
using sculpttest::CRecordingShell;
using sculpttest::Flat;

namespace {

std::unique_ptr<CSculptingApp> FlatLand(lndtest::LandBuilder b, CNullTarget& rt) { return sculpttest::Started(b.build(), rt); }

// Points the pick at vertex v of slot s, with weights that snap the centre to it.
void PickAt(CSculptingApp& app, int s, int v) {
    const CBlockMesh& mesh = app.m_mesh.m_meshes[std::size_t(s)];
    for (int t = 0; t < kTrianglesPerBlock; ++t) {
        const auto& tri = mesh.m_triangles[std::size_t(t)].v;
        if (tri[0] == v) app.m_pick = {1, s, t, 1.0f, 0.1f, 0.1f};
        else if (tri[1] == v) app.m_pick = {1, s, t, 1.0f, 0.9f, 0.05f};
        else if (tri[2] == v) app.m_pick = {1, s, t, 1.0f, 0.05f, 0.9f};
        else continue;
        return;
    }
    FAIL() << "no triangle has vertex " << v;
}

SVec3 Pos(const CSculptingApp& app, int s, int v) { return app.m_mesh.m_meshes[std::size_t(s)].m_positions[std::size_t(v)]; }

TEST(ClayvaneMeshes, SlotsLinksEdgeFlagsAndSplitDiagonals) {
    CNullTarget rt;
    // Squares (5, 7) and (5, 8) side by side, (20, 20) alone; one cell of (5, 7) is split.
    auto app = FlatLand(lndtest::LandBuilder()
                            .block(20, 20, Flat(40))
                            .block(5, 8,
                                   [](TLndBlock& b) {
                                       Flat(40)(b);
                                       for (int m = 0; m < 17; ++m) b.Cells[m][0].CellFlags = std::uint16_t(0x20 | 3);
                                   })
                            .block(5, 7,
                                   [](TLndBlock& b) {
                                       Flat(40)(b);
                                       b.Cells[2][3].CellFlags = kSplit;
                                   })
                            .countries(4),
                        rt);
    ASSERT_TRUE(app);
    const CBlockMeshes& m = app->m_mesh;
    ASSERT_EQ(m.Count(), 3);
    // Slots follow the grid columns: (5,7), (5,8), (20,20).
    EXPECT_EQ(m.m_meshes[0].m_record, 2);
    EXPECT_EQ(m.m_meshes[1].m_record, 1);
    EXPECT_EQ(m.m_meshes[2].m_record, 0);
    EXPECT_EQ(m.m_meshes[0].m_links.m_neighbours[3], 1);   // neighbour 4
    EXPECT_EQ(m.m_meshes[1].m_links.m_neighbours[7], 0);   // neighbour 8
    for (int n : m.m_meshes[2].m_links.m_neighbours) EXPECT_EQ(n, -1);
    // Axis mapping: x from the second grid index and the cell column, z from the first and the row.
    EXPECT_EQ(Pos(*app, 0, 17 * 3 + 2).x, -17.0f * (16 * 7 + 2));
    EXPECT_EQ(Pos(*app, 0, 17 * 3 + 2).z, -17.0f * (16 * 5 + 3));
    for (int r = 0; r < 17; ++r) {
        const SVec3 a = Pos(*app, 0, 17 * r + 16), b = Pos(*app, 1, 17 * r);
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << "shared column, row " << r;
    }
    // Edge flags: column 16 of (5,7) takes (5,8)'s column 0; everything else borders sea.
    EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(2).Cells[4][16].CellFlags), 0x23);
    EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(2).Cells[16][4].CellFlags), kEdgeFlags);
    EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(2).Cells[16][16].CellFlags), kEdgeFlags);
    for (int k = 0; k < 17; ++k) {
        EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(0).Cells[k][16].CellFlags), kEdgeFlags);
        EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(0).Cells[16][k].CellFlags), kEdgeFlags);
    }
    // Split cell (row 2, column 3) against its unsplit neighbour: other diagonal, same corners.
    const int o = 17 * 2 + 3, k = 2 * (16 * 3 + 2);
    const auto& split = m.m_meshes[0].m_triangles;
    EXPECT_EQ(split[std::size_t(k)].diagonal, 0);
    EXPECT_EQ(split[std::size_t(k)].v[0], o);
    EXPECT_EQ(split[std::size_t(k)].v[1], o + 17);
    EXPECT_EQ(split[std::size_t(k)].v[2], o + 1);
    EXPECT_EQ(split[std::size_t(k + 2)].diagonal, 1);
    EXPECT_EQ(split[std::size_t(k + 2)].v[0], o + 1 + 17);
    // Flat land: every normal points straight up, edge vertices included.
    for (const CBlockMesh& mesh : m.m_meshes)
        for (const SVec3& n : mesh.m_vertexNormals) EXPECT_NEAR(n.y, 1.0f, 1e-6f);
}

TEST(ClayvaneMeshes, NormalsAreSmoothAcrossBlockEdges) {
    CNullTarget rt;
    // A slope rising along x: the same in both blocks, so the shared column's normals agree.
    auto slope = [](TLndBlock& b) {
        for (int m = 0; m < 17; ++m)
            for (int l = 0; l < 17; ++l) {
                b.Cells[m][l].Altitude = std::uint8_t(100 + 2 * m + (l * l) / 8);
                b.Cells[m][l].CellFlags = 0;
            }
    };
    auto app = FlatLand(lndtest::LandBuilder().block(4, 4, slope).block(5, 4, slope), rt);
    ASSERT_TRUE(app);
    const CBlockMeshes& m = app->m_mesh;
    ASSERT_EQ(m.m_meshes[0].m_links.m_neighbours[5], 1);   // (5,4) is neighbour 6 of (4,4)
    // Row 16 of the first block and row 0 of the second are the same points; both copies
    // gather the faces of both blocks, so their normals point the same way.
    for (int l = 1; l < 16; ++l) {
        const SVec3 a = m.m_meshes[0].m_vertexNormals[std::size_t(17 * 16 + l)];
        const SVec3 b = m.m_meshes[1].m_vertexNormals[std::size_t(l)];
        EXPECT_GT(Dot(a, b), 0.995f) << "column " << l;
        EXPECT_NEAR(Length(a), 1.0f, 1e-5f);
    }
    // Repeated computations do not pile up.
    const SVec3 before = m.m_meshes[0].m_vertexNormals[100];
    app->m_mesh.ComputeNormals();
    app->m_mesh.ComputeNormalsAround(0);
    const SVec3 after = m.m_meshes[0].m_vertexNormals[100];
    EXPECT_NEAR(before.x, after.x, 1e-6f);
    EXPECT_NEAR(before.y, after.y, 1e-6f);
}

TEST(ClayvaneMeshes, PickingTakesTheNearestFrontFacingHitAhead) {
    CNullTarget rt;
    auto app = FlatLand(lndtest::LandBuilder().block(1, 1, Flat(50)).block(1, 2, Flat(120)), rt);
    ASSERT_TRUE(app);
    const CBlockMeshes& m = app->m_mesh;
    const SVec3 target = Pos(*app, 0, 17 * 8 + 8);   // middle of block (1,1), height 50
    struct Case {
        const char* name;
        SRay ray;
        bool hit;
    };
    const Case cases[] = {
        {"straight down", {{target.x + 3, 500, target.z + 3}, {0, -1, 0}}, true},
        {"from below, up", {{target.x + 3, -100, target.z + 3}, {0, 1, 0}}, false},
        {"land behind the eye", {{target.x + 3, 20, target.z + 3}, {0, -1, 0}}, false},
        {"misses every box", {{100000, 500, 100000}, {0, -1, 0}}, false},
    };
    for (const Case& c : cases) {
        const SPick p = m.PickVertex(c.ray);
        EXPECT_EQ(p.m_hitCount > 0, c.hit) << c.name;
        if (!c.hit) continue;
        EXPECT_EQ(p.m_slot, 0) << c.name;
        EXPECT_NEAR(p.m_hitT, 450.0f, 1e-3f) << c.name;
        const STriangle& tri = m.m_meshes[0].m_triangles[std::size_t(p.m_triangle)];
        const SVec3 a = m.m_meshes[0].m_positions[tri.v[0]];
        EXPECT_LE(std::fabs(a.x - target.x - 3), 17.0f) << c.name;
    }
    // A grazing ray over both blocks hits the higher one first: the nearest hit wins.
    const SVec3 far = Pos(*app, 1, 17 * 8 + 8);
    const SRay grazing{{target.x + 300, 300, target.z}, SVec3{far.x - target.x - 300, 120 - 300, 0} * 1.0f};
    const SPick p = m.PickVertex(grazing);
    ASSERT_EQ(p.m_hitCount, 1);
    EXPECT_EQ(p.m_slot, 1);
}

TEST(ClayvaneStrokes, RingsRaiseClampAndReclassify) {
    CNullTarget rt;
    auto app = FlatLand(lndtest::LandBuilder().block(3, 3, Flat(100)).countries(5), rt);
    ASSERT_TRUE(app);
    app->m_stroke.m_profile = {1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0, 0, 0, 0, 0};
    const int centre = 17 * 8 + 8;
    PickAt(*app, 0, centre);
    int v = -1;
    EXPECT_EQ(CStrokeTool::Centre(app->m_mesh, app->m_pick, v), 0);
    EXPECT_EQ(v, centre);
    app->m_input.left = true;
    app->SculptStroke(rt);
    // Radius 53, strength 2: centre ring 0 (+2), one cell away 17 units = ring 3 (+0.8),
    // three cells away 51 units = ring 9 (+0), four cells 68 units: outside.
    EXPECT_FLOAT_EQ(Pos(*app, 0, centre).y, 102.0f);
    EXPECT_FLOAT_EQ(Pos(*app, 0, centre + 1).y, 100.8f);
    EXPECT_FLOAT_EQ(Pos(*app, 0, centre + 17 + 1).y, 100.0f + 0.2f * 2.0f);   // 24 units: ring 4
    EXPECT_FLOAT_EQ(Pos(*app, 0, centre + 4).y, 100.0f);
    app->m_stroke.m_strength = -2.0f;   // the same brush digs
    app->SculptStroke(rt);
    EXPECT_FLOAT_EQ(Pos(*app, 0, centre).y, 100.0f);

    struct Case {
        float start;
        float strength;
        std::uint16_t flagsBefore;
        float height;
        std::uint16_t flagsAfter;
    };
    const Case cases[] = {
        {250, 10, 0x0003, 255, 0x0003},     // stops at 255
        {5, -20, 0x0083, 0, 0x02D3},         // stops at 0: 0x250 set, split and country kept
        {1, 2, 0x0273, 3, 0x0003},           // from 1 to 3: the water bits go
        {0.5f, 0.6f, 0x0000, 1.1f, 0x0050},  // height 1
        {1.5f, 0.6f, 0x0C00, 2.1f, 0x0C60},  // height 2, other bits carried
    };
    for (const Case& c : cases) {
        CBlockMesh& mesh = app->m_mesh.m_meshes[0];
        mesh.m_positions[std::size_t(centre)].y = c.start;
        app->m_land.BlockRecord(mesh.m_record).Cells[8][8].CellFlags = c.flagsBefore;
        app->m_stroke.m_strength = c.strength;
        app->SculptStroke(rt);
        EXPECT_FLOAT_EQ(Pos(*app, 0, centre).y, c.height) << c.start;
        EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(mesh.m_record).Cells[8][8].CellFlags), c.flagsAfter) << c.start;
    }
    // Without the button only the preview is drawn.
    app->m_input.left = false;
    const float kept = Pos(*app, 0, centre).y;
    app->SculptStroke(rt);
    EXPECT_EQ(Pos(*app, 0, centre).y, kept);

    // Painting country 3 over low byte 0xB5 leaves 0xB3 (distances count heights too).
    app->m_mesh.m_meshes[0].m_positions[std::size_t(centre)].y = 100.8f;
    app->m_land.BlockRecord(0).Cells[8][9].CellFlags = 0x01B5;
    app->m_stroke.m_country = 3;
    app->m_input.left = true;
    app->PaintStroke(rt);
    EXPECT_EQ(std::uint16_t(app->m_land.BlockRecord(0).Cells[8][9].CellFlags), 0x01B3);
}

TEST(ClayvaneStrokes, AStrokeOverABlockCornerMovesEveryCopyOfAVertexAlike) {
    CNullTarget rt;
    lndtest::LandBuilder b;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b.block(r, c, Flat(60));
    auto app = FlatLand(b, rt);
    ASSERT_TRUE(app);
    const int s = app->m_mesh.m_slotOfSquare[1][1];
    app->m_stroke.m_radius = 250;
    app->m_stroke.m_profile.fill(1.0f);
    PickAt(*app, s, 0);   // corner vertex of the middle block
    app->m_input.left = true;
    for (int i = 0; i < 3; ++i) app->SculptStroke(rt);
    // The shared corner has four copies, all raised by 3 x 2.
    EXPECT_FLOAT_EQ(Pos(*app, s, 0).y, 66.0f);
    EXPECT_FLOAT_EQ(Pos(*app, app->m_mesh.m_slotOfSquare[0][0], 17 * 16 + 16).y, 66.0f);
    EXPECT_FLOAT_EQ(Pos(*app, app->m_mesh.m_slotOfSquare[0][1], 17 * 16).y, 66.0f);
    EXPECT_FLOAT_EQ(Pos(*app, app->m_mesh.m_slotOfSquare[1][0], 16).y, 66.0f);
    // Boxes follow the new heights.
    EXPECT_FLOAT_EQ(app->m_mesh.m_meshes[std::size_t(s)].m_boxCorners[4].y, 66.0f);
}

TEST(ClayvaneSynthesis, TexelsBlendCornersCountriesAndMaterials) {
    CNullTarget rt;
    auto build = [&](int countries, int materials, auto&& fill) {
        auto image = lndtest::LandBuilder().block(0, 0, fill).countries(countries).materials(materials).build();
        // Material 0 pure red (31 << 10), material 1 pure blue; entries mix them 255:0.
        sculpttest::PlainMaterials(image, {std::uint16_t(31 << 10), std::uint16_t(31)});
        sculpttest::PlainCountries(image, 0, 1, 255);
        return sculpttest::Started(std::move(image), rt);
    };
    std::vector<std::uint8_t> tex(256 * 256 * 4);
    auto texel = [&](int row, int col) { return &tex[std::size_t(row * 256 + col) * 4]; };

    auto app = build(2, 2, Flat(10));
    ASSERT_TRUE(app);
    SynthesiseBlock(app->m_land, app->m_mesh.m_meshes[0], tex.data());
    // Uniform cell: about 255/256 of the blend (248 * 255 / 256 = 247, then weights).
    EXPECT_EQ(texel(0, 0)[0], 247 * 255 / 256);
    EXPECT_EQ(texel(7, 9)[0], texel(0, 0)[0]);
    EXPECT_EQ(texel(0, 0)[2], 0);
    EXPECT_EQ(texel(0, 0)[3], 254);

    // Coast at corner A only: alpha 128 there, the other corners' 255 at D.
    app->m_land.BlockRecord(0).Cells[0][0].CellFlags = kCoast;
    app->m_land.BlockRecord(0).Cells[1][1].CellFlags = kWater;
    SynthesiseBlock(app->m_land, app->m_mesh.m_meshes[0], tex.data());
    EXPECT_EQ(texel(0, 0)[3], 127);    // 128 * 255 / 256
    EXPECT_EQ(texel(15, 15)[3], 14);   // corner D alone: water, 15 * 255 / 256
    EXPECT_GT(texel(8, 8)[3], 14);
    EXPECT_LT(texel(8, 8)[3], 255);

    // Corner D alone at r = c = 15: its country (out of the table: the last one) decides.
    CSculptingApp& a = *app;
    for (auto& e : a.m_land.Country(1).Coefs) {
        e.mat1 = 7;   // past the material table: the last material (blue)
        e.mat2 = -3;
        e.coef = 900;   // clamped to 255
    }
    a.m_land.BlockRecord(0).Cells[1][1].CellFlags = 9;   // country 9 of 2
    SynthesiseBlock(a.m_land, a.m_mesh.m_meshes[0], tex.data());
    EXPECT_EQ(texel(15, 15)[0], 0);
    EXPECT_EQ(texel(15, 15)[2], 246);
    EXPECT_EQ(texel(0, 0)[0], 246);

    // Height 250 with noise 10 uses entry 255, not 260.
    std::uint8_t rgb[3];
    for (int h = 0; h < 256; ++h) a.m_land.Country(0).Coefs[h].coef = h == 255 ? 0 : 255;
    a.m_land.NoiseMap().Values[0][0] = 10;
    a.m_mesh.m_meshes[0].m_positions[0].y = 250.0f;
    a.m_land.BlockRecord(0).Cells[0][0].CellFlags = 0;
    SynthesiseBlock(a.m_land, a.m_mesh.m_meshes[0], tex.data());
    EXPECT_EQ(texel(0, 0)[2], 246);   // entry 255 is all material 1 (blue)
    BlendAt(a.m_land, 0, 300, 0, rgb);
    EXPECT_EQ(rgb[2], 247);   // 248 * 255 / 256

    // A land without countries synthesises black.
    auto none = build(0, 2, Flat(10));
    ASSERT_TRUE(none);
    SynthesiseBlock(none->m_land, none->m_mesh.m_meshes[0], tex.data());
    EXPECT_EQ(texel(3, 3)[0] + texel(3, 3)[1] + texel(3, 3)[2], 0);
    EXPECT_EQ(none->m_stroke.m_country, 0);
    // Corner weights and fades.
    EXPECT_EQ(blendWeights()[15][15], 255);
    EXPECT_EQ(blendWeights()[0][7], 0);
    EXPECT_EQ(blendWeights()[3][5], 17);   // 15 / 225 * 255 = 17.0
    EXPECT_FLOAT_EQ(app->Tables().m_fadeDown[0], 249.0f / 250.0f);
}

TEST(ClayvaneLoop, MenuStepsKeysAndTheSelectorCursor) {
    CNullTarget rt;
    CRecordingShell shell;
    auto app = FlatLand(lndtest::LandBuilder().block(3, 3, Flat(100)).countries(1), rt);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->m_stroke.m_country, 0);   // start country 2 clamped into one country

    // Escape from the brush selector: tool menu, main menu, closed.
    app->SetKey(kKeyF1, true);
    app->AfterFrame(shell, rt);
    EXPECT_EQ(app->m_menu.State(), EMenuState::SelectingBrush);
    for (const EMenuState step : {EMenuState::Tools, EMenuState::Main, EMenuState::Closed}) {
        app->SetKey(kKeyEscape, true);
        EXPECT_FALSE(app->Pass(rt));
        EXPECT_EQ(app->m_menu.State(), step);
    }

    // Enter wraps the cursor before choosing: 8 built-in brushes, cursor 10 is brush 2.
    app->SetKey(kKeyF1, true);
    app->AfterFrame(shell, rt);
    app->m_menu.m_cursor = 10;
    app->SetKey(kKeyEnter, true);
    app->AfterFrame(shell, rt);
    EXPECT_FALSE(app->m_menu.Open());
    EXPECT_EQ(app->m_stroke.m_profile[0], app->m_brushes.Profile(2)[0]);
    EXPECT_EQ(app->m_stroke.m_profile[9], app->m_brushes.Profile(2)[9]);
    app->SetKey(kKeyF2, true);
    app->AfterFrame(shell, rt);
    app->m_menu.m_cursor = -3;
    app->SetKey(kKeyEnter, true);
    app->AfterFrame(shell, rt);
    EXPECT_EQ(app->m_stroke.m_country, 0);

    // Held keys act every pass and stop at their limits; once keys act once per press.
    app->m_stroke.m_radius = 249;
    app->SetKey(kKeyUp, true);
    for (int i = 0; i < 3; ++i) app->AfterFrame(shell, rt);
    EXPECT_EQ(app->m_stroke.m_radius, 250);
    app->SetKey(kKeyUp, false);
    app->m_stroke.m_radius = 18;
    app->SetKey(kKeyDown, true);
    for (int i = 0; i < 3; ++i) app->AfterFrame(shell, rt);
    EXPECT_EQ(app->m_stroke.m_radius, 17);
    app->SetKey('I', true);
    const float strength = app->m_stroke.m_strength;
    app->AfterFrame(shell, rt);
    app->AfterFrame(shell, rt);
    EXPECT_EQ(app->m_stroke.m_strength, -strength);
    app->SetKey('C', true);
    app->SetKey(kKeyCtrl, true);
    app->ClearInput();   // focus lost
    app->AfterFrame(shell, rt);
    EXPECT_FALSE(app->m_toggles.paintMode);
    EXPECT_FALSE(app->m_input.ctrl);

    // The quit question; No keeps the program running.
    app->m_menu.SetState(EMenuState::QuitChosen);
    app->AfterFrame(shell, rt);
    ASSERT_EQ(shell.questions.size(), 1u);
    EXPECT_EQ(shell.questions[0], "Are you sure you want to quit?");
    EXPECT_FALSE(shell.quit);
    EXPECT_EQ(app->m_menu.State(), EMenuState::Main);
    // V asks for a file to save as; cancelling saves nothing.
    app->SetKey('V', true);
    app->AfterFrame(shell, rt);
    EXPECT_EQ(shell.titles.back(), "Clayvane 1.0b - Save As");
}

TEST(ClayvaneLoop, FramesUnderAHeldButtonSculptWhatThePointerShows) {
    lndtest::TempDir dir;
    CNullTarget rt;
    lndtest::LandBuilder b;
    for (int r = 10; r < 14; ++r)
        for (int c = 10; c < 14; ++c) b.block(r, c, Flat(80));
    auto app = sculpttest::Started(b.build(), rt);
    ASSERT_TRUE(app);
    // The island's middle (height 80) under the middle of the window: the view axis meets
    // the ground 100 + 80 units beyond the panned origin along z.
    app->m_camera.m_panX = 17.0f * 16 * 12;
    app->m_camera.m_panZ = 17.0f * 16 * 12 + 180.0f;
    app->m_input.mouse[0] = 320;
    app->m_input.mouse[1] = 240;
    app->Frame(rt);
    ASSERT_EQ(app->m_pick.m_hitCount, 1);
    app->m_input.left = true;
    for (int i = 0; i < 10; ++i) app->Frame(rt);
    app->m_input.left = false;
    app->Frame(rt);
    CRecordingShell shell;
    ASSERT_TRUE(app->Save(dir.file("out.lnd"), shell));
    const auto out = lndtest::readBytes(dir.file("out.lnd"));
    LndLayout layout;
    ASSERT_TRUE(checkImage(out, layout));
    int raised = 0, top = 0;
    for (int r = 0; r < layout.numBlockRecords; ++r) {
        const auto* blk = recordAt<TLndBlock>(out.data(), layout.blocksOffset + std::size_t(r) * kBlockSize);
        for (const auto& row : blk->Cells)
            for (const auto& c : row) {
                raised += c.Altitude > 80;
                top = std::max<int>(top, c.Altitude);
            }
    }
    // Brush 0 starts at 1.0: ten frames of 2.0 at most; the snapped centre may move as the
    // ground rises towards the eye.
    EXPECT_GE(top, 90);
    EXPECT_LE(top, 100);
    EXPECT_GT(raised, 20);
}

}  // namespace

namespace {

class CRecordingBus final : public clay::CScreenSaverBus {
public:
    std::optional<std::uint32_t> Inhibit(const std::string& application, const std::string& reason) override {
        calls.push_back("Inhibit " + application + ": " + reason);
        if (refuse) return std::nullopt;
        return ++lastCookie;
    }
    void UnInhibit(std::uint32_t cookie) override { calls.push_back("UnInhibit " + std::to_string(cookie)); }
    bool refuse = false;
    std::uint32_t lastCookie = 40;
    std::vector<std::string> calls;
};

// One inhibition from activation to deactivation; repeats, refusals and a missing bus.
TEST(ClayvaneScreenSaver, HeldWhileTheWindowIsActive) {
    const std::string inhibit = "Inhibit Clayvane: Sculpting a land";
    struct Case {
        const char* name;
        bool refuse;
        std::vector<bool> activations;
        std::vector<std::string> calls;
        bool heldAfter;
    };
    const Case cases[] = {
        {"activate, deactivate", false, {true, false}, {inhibit, "UnInhibit 41"}, false},
        {"repeated activation inhibits once", false, {true, true, true}, {inhibit}, true},
        {"deactivation without activation", false, {false, false}, {}, false},
        {"two activations in turn", false, {true, false, true, false}, {inhibit, "UnInhibit 41", inhibit, "UnInhibit 42"}, false},
        {"the service refuses: nothing to release", true, {true, false, true}, {inhibit, inhibit}, false},
    };
    for (const Case& c : cases) {
        CRecordingBus bus;
        bus.refuse = c.refuse;
        {
            CScreenSaverHold hold(&bus);
            for (bool a : c.activations) hold.SetActive(a);
            EXPECT_EQ(bus.calls, c.calls) << c.name;
            EXPECT_EQ(hold.Held(), c.heldAfter) << c.name;
        }
        // Closing the window releases what is still held.
        if (c.heldAfter) EXPECT_EQ(bus.calls.back(), "UnInhibit 41") << c.name;
        else EXPECT_EQ(bus.calls, c.calls) << c.name;
    }
    // No session bus: activation changes nothing and nothing is held.
    CScreenSaverHold none(nullptr);
    none.SetActive(true);
    EXPECT_FALSE(none.Held());
    none.SetActive(false);
}

}  // namespace

namespace {

// The carousel's one state: every key from every state, the chosen items handed to the loop,
// and the selector's flip (also when its direction turns round half-way).
TEST(ClayvaneMenu, OneStateMachineForKeysChoicesAndTheFlip) {
    using S = EMenuState;
    struct Case {
        S from;
        S escape, f1, f2;   // the state after each key
        S taken;            // what TakeChoice hands to the loop (Closed: nothing)
        S afterTake;
    };
    const Case cases[] = {
        {S::Closed, S::Main, S::SelectingBrush, S::SelectingCountry, S::Closed, S::Closed},
        {S::Main, S::Closed, S::SelectingBrush, S::SelectingCountry, S::Closed, S::Main},
        {S::Tools, S::Main, S::SelectingBrush, S::SelectingCountry, S::Closed, S::Tools},
        {S::SelectingBrush, S::Tools, S::Closed, S::SelectingBrush, S::Closed, S::SelectingBrush},
        {S::SelectingCountry, S::Tools, S::SelectingCountry, S::Closed, S::Closed, S::SelectingCountry},
        {S::LoadChosen, S::Closed, S::SelectingBrush, S::SelectingCountry, S::LoadChosen, S::Main},
        {S::SaveChosen, S::Closed, S::SelectingBrush, S::SelectingCountry, S::SaveChosen, S::Main},
        {S::QuitChosen, S::Closed, S::SelectingBrush, S::SelectingCountry, S::QuitChosen, S::Main},
    };
    for (const Case& c : cases) {
        const int from = int(c.from);
        CCarouselMenu m;
        m.SetState(c.from);
        m.Escape();
        EXPECT_EQ(m.State(), c.escape) << from;
        m.SetState(c.from);
        m.ToggleSelector(S::SelectingBrush);
        EXPECT_EQ(m.State(), c.f1) << from;
        m.SetState(c.from);
        m.ToggleSelector(S::SelectingCountry);
        EXPECT_EQ(m.State(), c.f2) << from;
        m.SetState(c.from);
        EXPECT_EQ(m.TakeChoice(), c.taken) << from;
        EXPECT_EQ(m.State(), c.afterTake) << from;
        EXPECT_EQ(m.Open(), c.from != S::Closed) << from;
    }

    // A held button over a main menu item chooses it once; the tool menu does not release it.
    CCarouselMenu m;
    m.SetState(S::Main);
    bool left = true;
    int lit = 0;
    m.Step([&](const SMat4&) { return ++lit == 2; }, left, 8, 3, 0);   // the second item: load
    EXPECT_EQ(m.State(), S::LoadChosen);
    EXPECT_FALSE(left);
    m.SetState(S::Tools);
    left = true;
    lit = 0;
    m.Step([&](const SMat4&) { return true; }, left, 8, 3, 0);   // every item lit: the first wins
    EXPECT_EQ(m.State(), S::SelectingBrush);
    EXPECT_TRUE(left);

    // The flip: out in steps of 5 to 45 degrees, the next picture, back in to 0.
    auto none = [](const SMat4&) { return false; };
    m.SetState(S::SelectingBrush);
    m.m_cursor = 0;
    left = false;
    m.Flip(1);
    for (int i = 0; i < 9; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_EQ(m.m_cursor, 1);
    EXPECT_FLOAT_EQ(m.m_flipAngle, 45.0f);
    for (int i = 0; i < 9; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_FLOAT_EQ(m.m_flipAngle, 0.0f);
    EXPECT_EQ(m.m_flipDirection, 0);
    // Turned round half-way out: the flip goes on out the other side, to the previous one.
    m.Flip(1);
    for (int i = 0; i < 4; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_FLOAT_EQ(m.m_flipAngle, -20.0f);
    m.Flip(-1);
    for (int i = 0; i < 13; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_EQ(m.m_cursor, 0);
    EXPECT_FLOAT_EQ(m.m_flipAngle, -45.0f);
    for (int i = 0; i < 9; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_FLOAT_EQ(m.m_flipAngle, 0.0f);
    EXPECT_EQ(m.m_flipDirection, 0);
    m.Flip(-1);
    for (int i = 0; i < 19; ++i) m.Step(none, left, 8, 3, 0);
    EXPECT_EQ(m.m_cursor, 7);   // below the first: the last brush
}

}  // namespace
