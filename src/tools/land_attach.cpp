#include "tools/land_attach.h"

#include "view/terrain_land.h"

namespace lnd {

void attachTerrain(CTerrainMesh& mesh, CLand& land) { installTerrainHooks(mesh, land); }

int HeadlessLand::open(const std::string& path) {
    if (land.Load(path) != 0) return -1;
    land.recreateDeviceObjects();
    return 0;
}

}  // namespace lnd
