#include "sculpt/sculpting_app.h"

#include "base/file_io.h"

#include <algorithm>
#include <cmath>

namespace clay {

using namespace lnd;

CSculptingApp::CSculptingApp() { Resize(640, 480); }

CSculptingApp::~CSculptingApp() = default;

// ---- Start-up, load and save ----------------------------------------------------------

bool CSculptingApp::OpenFirstLand(const std::string& path, CShell& shell) {
    const Result r = Load(path);
    if (!r) {
        shell.Error("Clayvane cannot load the land: " + r.message(), "Error");
        return false;
    }
    return true;
}

std::string CSculptingApp::ReadDataFiles(const std::string& startDirectory) {
    const std::string dir = startDirectory.empty() ? std::string(".") : startDirectory;
    std::string report = ReadBrushes(dir + "/Brushes.txt");
    const std::string menuProblem = ReadMenuData(dir + "/Clayvane.dat", m_menuData);
    if (!menuProblem.empty()) report += menuProblem + "\n";
    m_swatchAltitude = m_menuData.swatchAltitude;

    // Brush pictures: the rings of each profile as grey levels, drawn by angle steps of one
    // radian, which scatters the points over each ring.
    m_brushPictureBytes.assign(std::size_t(m_count) * 64 * 64, 0);
    for (int b = 0; b < m_count; ++b) {
        SelectBrush(b);
        std::uint8_t* pic = &m_brushPictureBytes[std::size_t(b) * 64 * 64];
        for (int r = 0; r < 32; ++r) {
            const float value = m_profile[std::size_t(float(r) / 3.2f)] * 255.0f;
            const std::uint8_t grey = std::uint8_t(std::clamp(value, 0.0f, 255.0f));
            for (int a = 0; a < 360; ++a) {
                const int row = int(std::cos(double(a)) * r + 32), col = int(std::sin(double(a)) * r + 32);
                pic[row * 64 + col] = grey;
            }
        }
    }
    SelectBrush(0);
    if (!report.empty() && report.back() == '\n') report.pop_back();
    return report;
}

void CSculptingApp::UploadDataFiles(CRenderTarget& rt) {
    rt.CreateMenuTextures(m_menuData);
    rt.CreateBrushPictures(m_count, m_brushPictureBytes);
}

void CSculptingApp::LandStartUp(CRenderTarget& rt) {
    // The start country may lie outside a land with fewer countries.
    const int countries = NumCountries();
    if (m_currentCountry >= countries) m_currentCountry = std::uint8_t(countries > 0 ? countries - 1 : 0);
    m_pick = {};
    m_mesh.BuildMeshes(*this);
    m_mesh.LinkNeighbours();
    m_mesh.ComputeNormals();
    m_mesh.SyncEdgeFlags(*this);
    m_changed.assign(std::size_t(m_mesh.Count()), 0);
    MakeSwatches(rt);
    SynthesiseAll(rt);
    BuildLandLists(rt);
    BuildOverlayLists(m_currentCountry, rt);
}

Result CSculptingApp::LoadLand(const std::string& path, CRenderTarget& rt) {
    std::vector<std::uint8_t> bytes;
    const Result r = CLandFile::Read(path, bytes);
    if (!r) return r;
    rt.DeleteLandResources();
    Release();
    const Result adopted = Adopt(std::move(bytes));
    if (adopted) LandStartUp(rt);
    return adopted;
}

bool CSculptingApp::LoadLand(const std::string& path, CShell& shell, CRenderTarget& rt) {
    const Result r = LoadLand(path, rt);
    if (!r) shell.Error("Clayvane cannot load the land: " + r.message() + "\nThe current land stays open.", "Error");
    return r.ok();
}

Result CSculptingApp::Save(const std::string& path) {
    if (!Loaded()) return Result::failure(Status::NotPossible, "no land is open");
    m_mesh.FoldHeights(*this);
    return writeFileAtomic(path, FileBytes());
}

bool CSculptingApp::Save(const std::string& path, CShell& shell) {
    if (!Loaded()) return false;
    const Result r = Save(path);
    if (!r) shell.Error("Clayvane could not save the land: " + r.message() + "\nThe file on disk is unchanged.", "Error");
    return r.ok();
}

// ---- Brushes ----------------------------------------------------------------------------

void CSculptingApp::SelectBrush(int b) {
    if (m_count <= 0) return;
    b = std::clamp(b, 0, m_count - 1);
    const float* p = Profile(b);
    for (int i = 0; i < kRings; ++i) {
        m_profile[std::size_t(i)] = p[i];
        m_ringColours[std::size_t(i)] = RingColour(p[i]);
    }
}

// ---- Textures and lists ----------------------------------------------------------------

void CSculptingApp::SynthesiseBlock(int s, CRenderTarget& rt) {
    m_texelScratch.resize(std::size_t(kTextureSide) * kTextureSide * 4);
    clay::SynthesiseBlock(*this, m_mesh.m_meshes[std::size_t(s)], m_tables, m_texelScratch.data());
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
    const int countries = NumCountries();
    std::vector<std::uint8_t> rgb(std::size_t(std::max(countries, 0)) * 65536 * 3);
    for (int c = 0; c < countries; ++c) MakeSwatch(*this, c, m_swatchAltitude, &rgb[std::size_t(c) * 65536 * 3]);
    rt.UploadSwatches(countries, rgb);
}

void CSculptingApp::BuildLandList(int s, CRenderTarget& rt) {
    LandListVertices(m_mesh.m_meshes[std::size_t(s)], m_smoothShading, m_listScratch);
    rt.CompileLandList(s, m_listScratch);
}

void CSculptingApp::BuildLandLists(CRenderTarget& rt) {
    for (int s = 0; s < m_mesh.Count(); ++s) BuildLandList(s, rt);
}

void CSculptingApp::BuildOverlayList(int s, int country, CRenderTarget& rt) {
    OverlayVertices(*this, m_mesh.m_meshes[std::size_t(s)], country, m_overlayScratch);
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

SMat4 CSculptingApp::ModelView() const {
    SMat4 mv;
    mv.Translate(0, 0, m_distance);
    mv.Rotate(45, 1, 0, 0);
    mv.Translate(0, 0, -100);
    mv.Rotate(m_pitch, 1, 0, 0);
    mv.Rotate(m_yaw, 0, 1, 0);
    mv.Translate(m_panX, 0, m_panZ);
    return mv;
}

void CSculptingApp::PickVertex() {
    const SRay ray = MouseRay(m_projection, ModelView(), m_mouse[0], m_mouse[1], m_width, m_height);
    m_pick = m_mesh.PickVertex(ray);
}

int CSculptingApp::BrushCentre(int& vertex) const {
    const STriangle& tri = m_mesh.m_meshes[std::size_t(m_pick.m_slot)].m_triangles[std::size_t(m_pick.m_triangle)];
    vertex = m_pick.m_hitU > 0.5f ? tri.v[1] : m_pick.m_hitV > 0.5f ? tri.v[2] : tri.v[0];
    return m_pick.m_slot;
}

// ---- Strokes ------------------------------------------------------------------------------

void CSculptingApp::SculptStroke(CRenderTarget& rt) {
    int vertex = 0;
    const int hitSlot = BrushCentre(vertex);
    const SVec3 centre = m_mesh.m_meshes[std::size_t(hitSlot)].m_positions[std::size_t(vertex)];
    int slots[9];
    const int n = m_mesh.Around(hitSlot, slots);
    const float w = m_brushRadius / 10.0f;
    m_points.clear();
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const int s = slots[i];
        CBlockMesh& mesh = m_mesh.m_meshes[std::size_t(s)];
        TLndBlock& block = BlockRecord(mesh.m_record);
        for (int v = 0; v < kVerticesPerBlock; ++v) {
            SVec3& p = mesh.m_positions[std::size_t(v)];
            const float d = Length(p - centre);
            if (d >= m_brushRadius) continue;
            int k = 0;
            if (d >= w) {
                k = int(d / w);
                if (k > 9 || float(k) * w == d) continue;   // on a ring's inner edge: in no ring
                if (float(k) * w > d) --k;                   // division rounded up
                if (k < 1 || float(k) * w == d) continue;
            }
            const auto& colour = m_ringColours[std::size_t(k)];
            m_points.push_back({p, {colour[0], colour[1], colour[2]}});
            if (!m_leftDown) continue;
            p.y += m_profile[std::size_t(k)] * m_brushStrength;
            if (p.y > 255.0f) p.y = 255.0f;
            if (p.y < 0.0f) p.y = 0.0f;
            const int h = int(p.y);
            TLndCell& cell = block.Cells[v / kSide][v % kSide];
            std::uint16_t flags = std::uint16_t(cell.CellFlags & ~0x0270);
            if (h == 0) flags |= 0x250;
            else if (h == 1) flags |= 0x50;
            else if (h == 2) flags |= 0x60;
            cell.CellFlags = flags;
            m_changed[std::size_t(s)] = 1;
            any = true;
        }
    }
    rt.DrawPoints(m_points);
    if (m_leftDown) {
        for (int i = 0; i < n; ++i) m_mesh.UpdateBox(slots[i]);
        if (m_liveTexture) SynthesiseBlock(hitSlot, rt);
        m_mesh.ComputeNormalsAround(hitSlot);
        if (any) {
            for (int i = 0; i < n; ++i) {
                if (!m_changed[std::size_t(slots[i])]) continue;
                m_changed[std::size_t(slots[i])] = 0;
                BuildLandList(slots[i], rt);
                BuildOverlayList(slots[i], m_currentCountry, rt);
            }
        }
    }
    if (m_spotlight) {
        // Around the hit triangle's first vertex: the nine blocks fade in with distance and
        // their nearby edges are outlined, the rest of the land is drawn as usual.
        const STriangle& tri = m_mesh.m_meshes[std::size_t(hitSlot)].m_triangles[std::size_t(m_pick.m_triangle)];
        const SVec3 p0 = m_mesh.m_meshes[std::size_t(hitSlot)].m_positions[tri.v[0]];
        m_light.slots.resize(std::size_t(n));
        m_light.smooth = m_smoothShading;
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
}

void CSculptingApp::PaintStroke(CRenderTarget& rt) {
    int vertex = 0;
    const int hitSlot = BrushCentre(vertex);
    const SVec3 centre = m_mesh.m_meshes[std::size_t(hitSlot)].m_positions[std::size_t(vertex)];
    int slots[9];
    const int n = m_mesh.Around(hitSlot, slots);
    m_points.clear();
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const int s = slots[i];
        CBlockMesh& mesh = m_mesh.m_meshes[std::size_t(s)];
        TLndBlock& block = BlockRecord(mesh.m_record);
        for (int v = 0; v < kVerticesPerBlock; ++v) {
            const SVec3 p = mesh.m_positions[std::size_t(v)];
            if (!(Length(p - centre) < m_brushRadius)) continue;
            m_points.push_back({p, {1, 1, 1}});
            if (!m_leftDown) continue;
            TLndCell& cell = block.Cells[v / kSide][v % kSide];
            cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) | (m_currentCountry & 0x0F));
            m_changed[std::size_t(s)] = 1;
            any = true;
        }
    }
    rt.DrawPoints(m_points);
    if (m_leftDown) {
        if (m_liveTexture) SynthesiseBlock(hitSlot, rt);
        if (any) {
            for (int i = 0; i < n; ++i) {
                if (!m_changed[std::size_t(slots[i])]) continue;
                m_changed[std::size_t(slots[i])] = 0;
                BuildOverlayList(slots[i], m_currentCountry, rt);
            }
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
    const SVec3 D = target - m_walkRef;
    const float d = Length(D);
    if (d > 17.0f) {
        m_panX += 25.0f * D.x / d;
        m_panZ += 25.0f * D.z / d;
    } else if (d > 1.0f) {
        m_panX += 2.0f * D.x / d;
        m_panZ += 2.0f * D.z / d;
    }
    rt.DrawCross(target);
    if (d > 100.0f) m_walkRef = target;
}

// ---- The loop ------------------------------------------------------------------------------

void CSculptingApp::SetKey(int code, bool down) {
    if (code < 0 || code > 255) return;
    m_keys[std::size_t(code)] = down;
    if (code == kKeyCtrl) m_ctrlDown = down;
}

void CSculptingApp::ClearInput() {
    m_keys.fill(false);
    m_ctrlDown = false;
    m_leftDown = m_rightDown = m_middleDown = false;
}

bool CSculptingApp::Once(int key) {
    if (!m_keys[std::size_t(key)]) return false;
    m_keys[std::size_t(key)] = false;
    return true;
}

void CSculptingApp::CloseMenus() {
    m_menuOpen = m_toolMenuOpen = false;
    m_selecting = m_selectingBrush = m_selectingCountry = false;
}

void CSculptingApp::MenuStep() {
    if (!m_menuOpen) {
        m_menuOpen = true;
    } else if (!m_toolMenuOpen) {
        m_menuOpen = false;
    } else if (m_selecting) {
        m_selecting = m_selectingBrush = m_selectingCountry = false;
    } else {
        m_toolMenuOpen = false;
    }
}

bool CSculptingApp::Pass(CRenderTarget& rt) {
    if (Once(kKeyEscape)) {
        MenuStep();
        return false;
    }
    Frame(rt);
    return true;
}

void CSculptingApp::Frame(CRenderTarget& rt) {
    m_spotlightDrew = false;
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
        rt.BeginFrame(m_projection, ModelView(), m_pointSize);
        m_skip.assign(std::size_t(m_mesh.Count()), 0);
        rt.DrawLandLists(m_mesh.Count(), m_skip);
        rt.DrawProgress(done);
        m_lastMouse[0] = m_mouse[0];
        m_lastMouse[1] = m_mouse[1];
        return;
    }

    if (m_ctrlDown && !m_menuOpen) {
        const float dx = m_mouse[0] - m_lastMouse[0], dy = m_mouse[1] - m_lastMouse[1];
        if (m_middleDown) {
            m_pitch = std::clamp(m_pitch + dy, -38.0f, 45.0f);
            m_yaw += dx;
        }
        if (m_leftDown && m_rightDown) m_distance = std::min(m_distance + 3.0f * (m_lastMouse[1] - m_mouse[1]), 300.0f);
        if (m_distance < 100.0f) m_pointSize = 5.0f;
        else if (m_distance > 100.0f) m_pointSize = m_distance / 20.0f;
    }

    rt.BeginFrame(m_projection, ModelView(), m_pointSize);

    if (!m_menuOpen) PickVertex();
    if (!m_menuOpen && m_pick.m_hitCount > 0) {
        if (m_ctrlDown && m_rightDown && !m_leftDown) {
            WalkTool(rt);
        } else if (m_paintMode && !m_rightDown) {
            PaintStroke(rt);
        } else if (!m_rightDown) {
            SculptStroke(rt);
            m_walkRef = {};
        }
    }
    if (!m_spotlightDrew) {
        m_skip.assign(std::size_t(m_mesh.Count()), 0);
        rt.DrawLandLists(m_mesh.Count(), m_skip);
    }
    if (m_paintMode) rt.DrawOverlayLists(m_mesh.Count());
    if (m_showBoxes) rt.DrawBoxes(m_mesh);
    rt.DrawStrengthBar(m_brushStrength);
    if (m_menuOpen) Menu(rt);
    m_lastMouse[0] = m_mouse[0];
    m_lastMouse[1] = m_mouse[1];
}

int CSculptingApp::WrapCursor(int count) const {
    if (count <= 0) return 0;
    const int c = m_cursor % count;
    return c < 0 ? c + count : c;
}

void CSculptingApp::Menu(CRenderTarget& rt) {
    SMenuPlan plan;
    auto under = [&](const SMat4& mv) {
        const SRay ray = MouseRay(m_projection, mv, m_mouse[0], m_mouse[1], m_width, m_height);
        SHitWeights w;
        return RayTriangle(ray, {4, -1, 0}, {4, 1, 0}, {2, -1, 0}, w) || RayTriangle(ray, {2, 1, 0}, {2, -1, 0}, {4, 1, 0}, w);
    };
    SMat4 mv;
    mv.Translate(0, 0, -10);
    mv.Rotate(5, 1, 0, 0);
    mv.Rotate(m_spin + 5, 0, 1, 0);
    if (!m_toolMenuOpen) {
        for (int i = 0; i < 4; ++i) {
            mv.Rotate(90, 0, 1, 0);
            const bool lit = under(mv);
            plan.items.push_back({mv, i, lit});
            if (lit && m_leftDown) {
                m_leftDown = false;   // one press chooses once
                if (i == 0) m_toolMenuOpen = true;
                else if (i == 1) m_wantLoad = true;
                else if (i == 2) m_wantSave = true;
                else m_wantQuit = true;
            }
        }
    } else if (!m_selecting) {
        for (int i = 0; i < 3; ++i) {
            mv.Rotate(120, 0, 1, 0);
            const bool lit = under(mv);
            plan.items.push_back({mv, 4 + i, lit});
            if (lit && m_leftDown) {
                if (i == 0) m_selecting = m_selectingBrush = true;
                else if (i == 1) m_selecting = m_selectingCountry = true;
            }
        }
    }
    plan.frame = !m_selecting;
    if (m_selecting) {
        SMat4 sel;
        sel.Rotate(m_flipAngle, 0, 1, 0);
        sel.Translate(0, -1, -10);
        sel.Rotate(30, 1, 0, 0);
        sel.Rotate(m_turn, 0, 1, 0);
        plan.selector = true;
        plan.selectorBrush = m_selectingBrush;
        plan.selectorModelView = sel;
        m_cursor = WrapCursor(m_selectingBrush ? m_count : NumCountries());
        plan.selectorIndex = m_cursor;
        if (m_flipDirection != 0 && !m_flipOut && !m_flipIn) m_flipOut = true;
        const float step = m_flipDirection > 0 ? -5.0f : 5.0f;
        if (m_flipOut) {
            m_flipAngle += step;
            if (std::fabs(m_flipAngle) >= 45.0f) {
                m_cursor += m_flipDirection > 0 ? 1 : -1;
                m_flipAngle = -m_flipAngle;
                m_flipOut = false;
                m_flipIn = true;
            }
        } else if (m_flipIn) {
            m_flipAngle += step;
            if ((step < 0 && m_flipAngle <= 0.0f) || (step > 0 && m_flipAngle >= 0.0f)) {
                m_flipAngle = 0.0f;
                m_flipIn = false;
                m_flipDirection = 0;
            }
        }
        m_turn -= 0.4f;
    }
    const float dx = m_mouse[0] - m_lastMouse[0];
    if (m_leftDown) {
        m_spin += dx;
        m_spinSpeed = dx;
    } else {
        m_spin += m_spinSpeed;
        m_spinSpeed = m_spinSpeed > 0 ? std::max(0.0f, m_spinSpeed - 0.1f) : std::min(0.0f, m_spinSpeed + 0.1f);
    }
    rt.DrawMenu(plan);
}

void CSculptingApp::AfterFrame(CShell& shell, CRenderTarget& rt) {
    if (m_wantQuit) {
        if (shell.Ask("Are you sure you want to quit?", "Quit?")) {
            shell.Quit();
            return;
        }
        m_wantQuit = false;
    }
    if (m_wantLoad) {
        m_wantLoad = false;
        const std::string path = shell.OpenDialog(std::string(kAppTitle) + " - Load");
        m_leftDown = false;
        if (!path.empty()) {
            CloseMenus();
            LoadLand(path, shell, rt);
        }
    }
    if (m_wantSave) {
        m_wantSave = false;
        const std::string path = shell.SaveDialog(std::string(kAppTitle) + " - Save as");
        m_leftDown = false;
        if (!path.empty()) {
            CloseMenus();
            Save(path, shell);
        }
    }
    KeyActions(shell, rt);
}

void CSculptingApp::KeyActions(CShell& shell, CRenderTarget& rt) {
    if (m_keys[kKeyUp]) m_brushRadius = std::min(m_brushRadius + 1.0f, 250.0f);
    if (m_keys[kKeyDown]) m_brushRadius = std::max(m_brushRadius - 1.0f, 17.0f);
    if (m_keys[kKeyLeft]) {
        if (m_selecting) m_flipDirection = -1;
        else m_brushStrength -= 0.05f;
    }
    if (m_keys[kKeyRight]) {
        if (m_selecting) m_flipDirection = 1;
        else m_brushStrength += 0.05f;
    }
    if (Once(kKeyEnter) && m_selecting) {
        // Wrapped again here: the cursor may have moved since the selector was drawn.
        if (m_selectingBrush) {
            m_cursor = WrapCursor(m_count);
            SelectBrush(m_cursor);
        } else if (NumCountries() > 0) {
            m_cursor = WrapCursor(NumCountries());
            m_currentCountry = std::uint8_t(m_cursor);
            BuildOverlayLists(m_currentCountry, rt);
        }
        CloseMenus();
    }
    if (Once('M')) {
        m_mesh.ComputeNormals();
        BuildLandLists(rt);
    }
    if (Once('S')) {
        m_smoothShading = !m_smoothShading;
        BuildLandLists(rt);
    }
    if (Once('W')) m_spotlight = !m_spotlight;
    if (Once('T')) {
        SynthesiseAll(rt);
        BuildLandLists(rt);
    }
    if (Once('Q')) m_liveTexture = !m_liveTexture;
    if (Once('I')) m_brushStrength = -m_brushStrength;
    if (Once('B')) m_showBoxes = !m_showBoxes;
    if (Once('V')) {
        const std::string path = shell.SaveDialog(std::string(kAppTitle) + " - Save As");
        m_leftDown = false;
        if (!path.empty()) Save(path, shell);
    }
    if (Once(kKeyF1) && !m_selectingCountry) {
        if (m_selectingBrush) {
            CloseMenus();
        } else {
            m_menuOpen = m_toolMenuOpen = m_selecting = m_selectingBrush = true;
        }
    }
    if (Once(kKeyF2) && !m_selectingBrush) {
        if (m_selectingCountry) {
            CloseMenus();
        } else {
            m_menuOpen = m_toolMenuOpen = m_selecting = m_selectingCountry = true;
        }
    }
    if (Once('C')) m_paintMode = !m_paintMode;
}

}  // namespace clay
