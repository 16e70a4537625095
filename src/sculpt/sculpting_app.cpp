#include "sculpt/sculpting_app.h"

#include "base/file_io.h"

#include <algorithm>
#include <cmath>

namespace clay {

using namespace lnd;

CSculptingApp::CSculptingApp() { Resize(640, 480); }

// ---- Start-up, load and save ----------------------------------------------------------

bool CSculptingApp::OpenFirstLand(const std::string& path, CShell& shell) {
    const Result r = m_land.Load(path);
    if (!r) {
        shell.Error("Clayvane cannot load the land: " + r.message(), "Error");
        return false;
    }
    return true;
}

namespace {

// Brush pictures: the rings of each profile as grey levels, drawn by angle steps of one
// radian, which scatters the points over each ring.
std::vector<std::uint8_t> BrushPictureBytes(const CBrushList& brushes) {
    std::vector<std::uint8_t> bytes(std::size_t(brushes.m_count) * 64 * 64, 0);
    for (int b = 0; b < brushes.m_count; ++b) {
        const float* profile = brushes.Profile(b);
        std::uint8_t* pic = &bytes[std::size_t(b) * 64 * 64];
        for (int r = 0; r < 32; ++r) {
            const float value = profile[std::size_t(float(r) / 3.2f)] * 255.0f;
            const std::uint8_t grey = std::uint8_t(std::clamp(value, 0.0f, 255.0f));
            for (int a = 0; a < 360; ++a) {
                const int row = int(std::cos(double(a)) * r + 32), col = int(std::sin(double(a)) * r + 32);
                pic[row * 64 + col] = grey;
            }
        }
    }
    return bytes;
}

}  // namespace

std::string CSculptingApp::ReadDataFiles(const std::string& startDirectory) {
    const std::string dir = startDirectory.empty() ? std::string(".") : startDirectory;
    std::string report = m_brushes.ReadBrushes(dir + "/Brushes.txt");
    const std::string menuProblem = ReadMenuData(dir + "/Clayvane.dat", m_menuData);
    if (!menuProblem.empty()) report += menuProblem + "\n";
    m_brushPictureBytes = BrushPictureBytes(m_brushes);
    SelectBrush(0);
    if (!report.empty() && report.back() == '\n') report.pop_back();
    return report;
}

void CSculptingApp::UseBuiltInData() {
    m_brushes.ReadBrushText(BuiltInBrushText(), "built-in");
    ParseMenuData({}, m_menuData);
    m_brushPictureBytes = BrushPictureBytes(m_brushes);
    SelectBrush(0);
}

void CSculptingApp::UploadDataFiles(CRenderTarget& rt) {
    rt.CreateMenuTextures(m_menuData);
    rt.CreateBrushPictures(m_brushes.m_count, m_brushPictureBytes);
}

void CSculptingApp::LandStartUp(CRenderTarget& rt) {
    // The start country may lie outside a land with fewer countries.
    const int countries = m_land.NumCountries();
    if (m_stroke.m_country >= countries) m_stroke.m_country = std::uint8_t(countries > 0 ? countries - 1 : 0);
    m_pick = {};
    m_mesh.BuildMeshes(m_land);
    m_mesh.LinkNeighbours();
    m_mesh.ComputeNormals();
    m_mesh.SyncEdgeFlags(m_land);
    m_changed.assign(std::size_t(m_mesh.Count()), 0);
    MakeSwatches(rt);
    SynthesiseAll(rt);
    BuildLandLists(rt);
    BuildOverlayLists(m_stroke.m_country, rt);
}

Result CSculptingApp::LoadLand(const std::string& path, CRenderTarget& rt) {
    std::vector<std::uint8_t> bytes;
    const Result r = CLandFile::Read(path, bytes);
    if (!r) return r;
    rt.DeleteLandResources();
    m_land.Release();
    const Result adopted = m_land.Adopt(std::move(bytes));
    if (adopted) LandStartUp(rt);
    return adopted;
}

bool CSculptingApp::LoadLand(const std::string& path, CShell& shell, CRenderTarget& rt) {
    const Result r = LoadLand(path, rt);
    if (!r) shell.Error("Clayvane cannot load the land: " + r.message() + "\nThe current land stays open.", "Error");
    return r.ok();
}

Result CSculptingApp::Save(const std::string& path) {
    if (!m_land.Loaded()) return Result::failure(Status::NotPossible, "no land is open");
    m_mesh.FoldHeights(m_land);
    return writeFileAtomic(path, m_land.FileBytes());
}

bool CSculptingApp::Save(const std::string& path, CShell& shell) {
    if (!m_land.Loaded()) return false;
    const Result r = Save(path);
    if (!r) shell.Error("Clayvane could not save the land: " + r.message() + "\nThe file on disk is unchanged.", "Error");
    return r.ok();
}

// ---- Brushes ----------------------------------------------------------------------------

void CSculptingApp::SelectBrush(int b) {
    if (m_brushes.m_count <= 0) return;
    m_stroke.SetProfile(m_brushes.Profile(std::clamp(b, 0, m_brushes.m_count - 1)));
}

// ---- Textures and lists ----------------------------------------------------------------

void CSculptingApp::SynthesiseBlock(int s, CRenderTarget& rt) {
    m_texelScratch.resize(std::size_t(kTextureSide) * kTextureSide * 4);
    clay::SynthesiseBlock(m_land, m_mesh.m_meshes[std::size_t(s)], m_texelScratch.data());
    rt.UploadBlockTexture(s, m_texelScratch.data());
}

void CSculptingApp::SynthesiseColumn(int column, CRenderTarget& rt) {
    for (int s = 0; s < m_mesh.Count(); ++s)
        if (m_mesh.m_meshes[std::size_t(s)].m_gridColumn == column) SynthesiseBlock(s, rt);
}

void CSculptingApp::SynthesiseAll(CRenderTarget& rt) {
    rt.ResetBlockTextures(m_mesh.Count());
    m_synthColumn = 0;
}

void CSculptingApp::FinishSynthesis(CRenderTarget& rt) {
    while (m_synthColumn >= 0 && m_synthColumn < kGridSize) SynthesiseColumn(m_synthColumn++, rt);
    m_synthColumn = -1;
}

void CSculptingApp::MakeSwatches(CRenderTarget& rt) {
    const int countries = m_land.NumCountries();
    std::vector<std::uint8_t> rgb(std::size_t(std::max(countries, 0)) * 65536 * 3);
    for (int c = 0; c < countries; ++c)
        MakeSwatch(m_land, c, m_menuData.swatchAltitude, &rgb[std::size_t(c) * 65536 * 3]);
    rt.UploadSwatches(countries, rgb);
}

void CSculptingApp::BuildLandList(int s, CRenderTarget& rt) {
    LandListVertices(m_mesh.m_meshes[std::size_t(s)], m_toggles.smoothShading, m_listScratch);
    rt.CompileLandList(s, m_listScratch);
}

void CSculptingApp::BuildLandLists(CRenderTarget& rt) {
    for (int s = 0; s < m_mesh.Count(); ++s) BuildLandList(s, rt);
}

void CSculptingApp::BuildOverlayList(int s, int country, CRenderTarget& rt) {
    OverlayVertices(m_land, m_mesh.m_meshes[std::size_t(s)], country, m_overlayScratch);
    rt.CompileOverlayList(s, m_overlayScratch);
}

void CSculptingApp::BuildOverlayLists(int country, CRenderTarget& rt) {
    for (int s = 0; s < m_mesh.Count(); ++s) BuildOverlayList(s, country, rt);
}

// ---- Camera and picking -------------------------------------------------------------------

void CSculptingApp::Resize(int width, int height) {
    if (height <= 0) height = 1;
    if (width <= 0) width = 1;
    m_width = width;
    m_height = height;
    m_projection = Perspective(45.0f, float(width) / float(height), 1.0f, 10000.0f);
}

void CSculptingApp::PickVertex() {
    const SRay ray = MouseRay(m_projection, m_camera.ModelView(), m_input.mouse[0], m_input.mouse[1], m_width, m_height);
    m_pick = m_mesh.PickVertex(ray);
}

// ---- Strokes ------------------------------------------------------------------------------

void CSculptingApp::SculptStroke(CRenderTarget& rt) {
    int slots[9];
    const int n = m_stroke.Sculpt(m_land, m_mesh, m_pick, m_input.left, m_points, m_changed, slots);
    const int hitSlot = slots[0];
    rt.DrawPoints(m_points);
    if (m_input.left) {
        for (int i = 0; i < n; ++i) m_mesh.UpdateBox(slots[i]);
        if (m_toggles.liveTexture) SynthesiseBlock(hitSlot, rt);
        m_mesh.ComputeNormalsAround(hitSlot);
        for (int i = 0; i < n; ++i) {
            if (!m_changed[std::size_t(slots[i])]) continue;
            m_changed[std::size_t(slots[i])] = 0;
            BuildLandList(slots[i], rt);
            BuildOverlayList(slots[i], m_stroke.m_country, rt);
        }
    }
    if (m_toggles.spotlight) Spotlight(slots, n, rt);
}

void CSculptingApp::Spotlight(const int slots[9], int n, CRenderTarget& rt) {
    // Around the hit triangle's first vertex: the nine blocks fade in with distance and their
    // nearby edges are outlined, the rest of the land is drawn as usual.
    const CBlockMesh& hit = m_mesh.m_meshes[std::size_t(slots[0])];
    const SVec3 p0 = hit.m_positions[hit.m_triangles[std::size_t(m_pick.m_triangle)].v[0]];
    m_light.slots.resize(std::size_t(n));
    m_light.smooth = m_toggles.smoothShading;
    for (int i = 0; i < n; ++i) {
        const CBlockMesh& mesh = m_mesh.m_meshes[std::size_t(slots[i])];
        SSpotlight::SSlot& out = m_light.slots[std::size_t(i)];
        out.slot = slots[i];
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            const int d = int(Length(mesh.m_positions[mesh.m_triangles[std::size_t(t)].v[0]] - p0));
            const bool near = d >= 0 && d < kFadeSteps;
            out.fill[std::size_t(t)] = near ? m_tables.m_fadeUp[d] : 1.0f;
            out.outline[std::size_t(t)] = near ? m_tables.m_fadeDown[d] : -1.0f;
        }
    }
    rt.DrawSpotlight(m_light, m_mesh);
    m_skip.assign(std::size_t(m_mesh.Count()), 0);
    for (int i = 0; i < n; ++i) m_skip[std::size_t(slots[i])] = 1;
    rt.DrawLandLists(m_mesh.Count(), m_skip);
    m_spotlightDrew = true;
}

void CSculptingApp::PaintStroke(CRenderTarget& rt) {
    int slots[9];
    const int n = m_stroke.Paint(m_land, m_mesh, m_pick, m_input.left, m_points, m_changed, slots);
    rt.DrawPoints(m_points);
    if (m_input.left) {
        if (m_toggles.liveTexture) SynthesiseBlock(slots[0], rt);
        for (int i = 0; i < n; ++i) {
            if (!m_changed[std::size_t(slots[i])]) continue;
            m_changed[std::size_t(slots[i])] = 0;
            BuildOverlayList(slots[i], m_stroke.m_country, rt);
        }
    }
}

void CSculptingApp::WalkTool(CRenderTarget& rt) {
    const CBlockMesh& mesh = m_mesh.m_meshes[std::size_t(m_pick.m_slot)];
    const STriangle& tri = mesh.m_triangles[std::size_t(m_pick.m_triangle)];
    const float u = m_pick.m_hitU, v = m_pick.m_hitV;
    SVec3 target;
    if (tri.diagonal == 1) {
        const SVec3 p = mesh.m_positions[tri.v[1]];
        const float sign = mesh.m_positions[tri.v[0]].x > p.x ? 1.0f : -1.0f;
        target = {p.x + sign * (1.0f - u) * kCellWidth, p.y, p.z + sign * v * kCellWidth};
    } else {
        const SVec3 p = mesh.m_positions[tri.v[0]];
        const float sign = mesh.m_positions[tri.v[2]].x > p.x ? 1.0f : -1.0f;
        target = {p.x + sign * v * kCellWidth, p.y, p.z + sign * u * kCellWidth};
    }
    const SVec3 D = target - m_camera.m_walkRef;
    const float d = Length(D);
    if (d > 17.0f) {
        m_camera.m_panX += 25.0f * D.x / d;
        m_camera.m_panZ += 25.0f * D.z / d;
    } else if (d > 1.0f) {
        m_camera.m_panX += 2.0f * D.x / d;
        m_camera.m_panZ += 2.0f * D.z / d;
    }
    rt.DrawCross(target);
    if (d > 100.0f) m_camera.m_walkRef = target;
}

// ---- The loop ------------------------------------------------------------------------------

void CSculptingApp::SetKey(int code, bool down) {
    if (code < 0 || code > 255) return;
    m_input.keys[std::size_t(code)] = down;
    if (code == kKeyCtrl) m_input.ctrl = down;
}

void CSculptingApp::ClearInput() {
    m_input.keys.fill(false);
    m_input.ctrl = false;
    m_input.left = m_input.right = m_input.middle = false;
}

bool CSculptingApp::Once(int key) {
    if (!m_input.keys[std::size_t(key)]) return false;
    m_input.keys[std::size_t(key)] = false;
    return true;
}

bool CSculptingApp::Pass(CRenderTarget& rt) {
    if (Once(kKeyEscape)) {
        m_menu.Escape();
        return false;
    }
    Frame(rt);
    return true;
}

void CSculptingApp::Frame(CRenderTarget& rt) {
    m_spotlightDrew = false;
    m_texturingShown = false;
    if (Synthesising()) {
        // The texture pass goes one grid column with blocks per frame, under its progress bar.
        while (m_synthColumn < kGridSize) {
            const int column = m_synthColumn++;
            bool any = false;
            for (const CBlockMesh& mesh : m_mesh.m_meshes) any |= mesh.m_gridColumn == column;
            SynthesiseColumn(column, rt);
            if (any) break;
        }
        const int done = m_synthColumn;
        if (m_synthColumn >= kGridSize) m_synthColumn = -1;
        // The blocks' textures are not all made yet: the land keeps its previous picture (the
        // sky alone before the first one) under the progress bar, never untextured blocks.
        rt.BeginFrame(m_projection, m_camera.ModelView(), m_camera.m_pointSize);
        rt.DrawHeldPicture();
        rt.DrawProgress(done);
        m_texturingShown = true;
        m_input.lastMouse[0] = m_input.mouse[0];
        m_input.lastMouse[1] = m_input.mouse[1];
        return;
    }

    if (m_input.ctrl && !m_menu.Open())
        m_camera.Steer(m_input.mouse[0] - m_input.lastMouse[0], m_input.mouse[1] - m_input.lastMouse[1], m_input.middle,
                       m_input.left && m_input.right);

    rt.BeginFrame(m_projection, m_camera.ModelView(), m_camera.m_pointSize);

    if (!m_menu.Open()) PickVertex();
    if (!m_menu.Open() && m_pick.m_hitCount > 0) {
        if (m_input.ctrl && m_input.right && !m_input.left) {
            WalkTool(rt);
        } else if (m_toggles.paintMode && !m_input.right) {
            PaintStroke(rt);
        } else if (!m_input.right) {
            SculptStroke(rt);
            m_camera.m_walkRef = {};
        }
    }
    if (!m_spotlightDrew) {
        m_skip.assign(std::size_t(m_mesh.Count()), 0);
        rt.DrawLandLists(m_mesh.Count(), m_skip);
    }
    if (m_toggles.paintMode) rt.DrawOverlayLists(m_mesh.Count());
    if (m_toggles.showBoxes) rt.DrawBoxes(m_mesh);
    // The texture key, or a load from the menu, makes the textures again after this frame:
    // the land as it is now is what stays on screen meanwhile.
    if (m_input.keys['T'] || m_menu.Open()) rt.HoldPicture();
    rt.DrawStrengthBar(m_stroke.m_strength);
    if (m_menu.Open()) Menu(rt);
    m_input.lastMouse[0] = m_input.mouse[0];
    m_input.lastMouse[1] = m_input.mouse[1];
}

void CSculptingApp::Menu(CRenderTarget& rt) {
    auto under = [&](const SMat4& mv) {
        const SRay ray = MouseRay(m_projection, mv, m_input.mouse[0], m_input.mouse[1], m_width, m_height);
        SHitWeights w;
        return RayTriangle(ray, {4, -1, 0}, {4, 1, 0}, {2, -1, 0}, w) || RayTriangle(ray, {2, 1, 0}, {2, -1, 0}, {4, 1, 0}, w);
    };
    const SMenuPlan plan = m_menu.Step(under, m_input.left, m_brushes.m_count, m_land.NumCountries(),
                                       m_input.mouse[0] - m_input.lastMouse[0]);
    rt.DrawMenu(plan);
}

bool CSculptingApp::ServeChoice(CShell& shell, CRenderTarget& rt) {
    switch (m_menu.TakeChoice()) {
    case EMenuState::QuitChosen:
        if (shell.Ask("Are you sure you want to quit?", "Quit?")) {
            shell.Quit();
            return true;
        }
        break;
    case EMenuState::LoadChosen: {
        const std::string path = shell.OpenDialog(std::string(kAppTitle) + " - Load");
        m_input.left = false;
        if (!path.empty()) {
            m_menu.CloseAll();
            LoadLand(path, shell, rt);
        }
        break;
    }
    case EMenuState::SaveChosen: {
        const std::string path = shell.SaveDialog(std::string(kAppTitle) + " - Save as");
        m_input.left = false;
        if (!path.empty()) {
            m_menu.CloseAll();
            Save(path, shell);
        }
        break;
    }
    default: break;
    }
    return false;
}

void CSculptingApp::AfterFrame(CShell& shell, CRenderTarget& rt) {
    if (ServeChoice(shell, rt)) return;   // the program ends
    KeyActions(shell, rt);
}

void CSculptingApp::KeyActions(CShell& shell, CRenderTarget& rt) {
    const auto& keys = m_input.keys;
    if (keys[kKeyUp]) m_stroke.m_radius = std::min(m_stroke.m_radius + 1.0f, 250.0f);
    if (keys[kKeyDown]) m_stroke.m_radius = std::max(m_stroke.m_radius - 1.0f, 17.0f);
    if (keys[kKeyLeft]) {
        if (m_menu.Selecting()) m_menu.Flip(-1);
        else m_stroke.m_strength -= 0.05f;
    }
    if (keys[kKeyRight]) {
        if (m_menu.Selecting()) m_menu.Flip(1);
        else m_stroke.m_strength += 0.05f;
    }
    if (Once(kKeyEnter) && m_menu.Selecting()) {
        // Wrapped again here: the cursor may have moved since the selector was drawn.
        if (m_menu.State() == EMenuState::SelectingBrush) {
            m_menu.m_cursor = m_menu.Wrapped(m_brushes.m_count);
            SelectBrush(m_menu.m_cursor);
        } else if (m_land.NumCountries() > 0) {
            m_menu.m_cursor = m_menu.Wrapped(m_land.NumCountries());
            m_stroke.m_country = std::uint8_t(m_menu.m_cursor);
            BuildOverlayLists(m_stroke.m_country, rt);
        }
        m_menu.CloseAll();
    }
    if (Once('M')) {
        m_mesh.ComputeNormals();
        BuildLandLists(rt);
    }
    if (Once('S')) {
        m_toggles.smoothShading = !m_toggles.smoothShading;
        BuildLandLists(rt);
    }
    if (Once('W')) m_toggles.spotlight = !m_toggles.spotlight;
    if (Once('T')) {
        SynthesiseAll(rt);
        BuildLandLists(rt);
    }
    if (Once('Q')) m_toggles.liveTexture = !m_toggles.liveTexture;
    if (Once('I')) m_stroke.m_strength = -m_stroke.m_strength;
    if (Once('B')) m_toggles.showBoxes = !m_toggles.showBoxes;
    if (Once('V')) {
        const std::string path = shell.SaveDialog(std::string(kAppTitle) + " - Save As");
        m_input.left = false;
        if (!path.empty()) Save(path, shell);
    }
    if (Once(kKeyF1)) m_menu.ToggleSelector(EMenuState::SelectingBrush);
    if (Once(kKeyF2)) m_menu.ToggleSelector(EMenuState::SelectingCountry);
    if (Once('C')) m_toggles.paintMode = !m_toggles.paintMode;
}

}  // namespace clay
