#include "support/editor_land.h"

#include <stdexcept>

namespace lndtest {

EditorLand::EditorLand() { land.m_messages = &messages; }

EditorLand::EditorLand(const LandBuilder& builder, State state) : EditorLand() {
    if (!land.adoptImage(builder.build())) throw std::runtime_error("test land refused");
    if (state == State::AsRead) return;
    // What a load and the device objects made after it do, without a file.
    lnd::buildTerrainGeometry(mesh, land);
    mesh.BuildAllMeshes();
    land.m_loaded = true;
}

EditorLand::EditorLand(const std::string& path) : EditorLand() {
    if (open(path) != 0) throw std::runtime_error("land refused: " + path);
}

LandBuilder::BlockFill flat(std::uint8_t altitude, std::uint16_t flags) {
    return [=](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) {
                c.Altitude = altitude;
                c.CellFlags = flags;
            }
    };
}

lnd::CBrushDef ringBrush(std::array<float, 10> params) {
    lnd::CBrushDef b;
    b.name = "rings";
    b.params = params;
    return b;
}

}  // namespace lndtest
