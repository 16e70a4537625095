// A land held in memory with its terrain mesh built, as the editor holds it after opening.
#pragma once

#include "base/messages.h"
#include "base/settings.h"
#include "land/land.h"
#include "support/land_builder.h"
#include "view/terrain_land.h"
#include "view/terrain_land.h"
#include "view/terrain_mesh.h"

#include <stdexcept>

namespace toolstest {

struct HeldLand {
    lnd::RecordingMessages messages;
    lnd::CTerrainMesh mesh;
    lnd::CLand land;

    explicit HeldLand(const lndtest::LandBuilder& builder) {
        land.m_messages = &messages;
        lnd::installTerrainHooks(mesh, land);
        if (!land.adoptImage(builder.build())) throw std::runtime_error("test land refused");
        lnd::buildTerrainGeometry(mesh, land);
        mesh.BuildAllMeshes();
        land.m_loaded = true;
    }
    lnd::TLndBlock& block(int b) { return land.blocks()[std::size_t(b)]; }
    std::vector<std::uint8_t> image() const { return {land.fileImage().begin(), land.fileImage().end()}; }
};

// Every cell of a block at one altitude with the given flags.
inline lndtest::LandBuilder::BlockFill flat(std::uint8_t altitude, std::uint16_t flags = 0) {
    return [=](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) {
                c.Altitude = altitude;
                c.CellFlags = flags;
            }
    };
}

inline lnd::CBrushDef ringBrush(std::array<float, 10> params) {
    lnd::CBrushDef b;
    b.name = "rings";
    b.params = params;
    return b;
}

}  // namespace toolstest
