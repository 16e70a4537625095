// Terrain-like meshes for the mesh tests: squares of 10 units, two triangles each, every
// triangle with its own three vertices (as the terrain builds them).
#pragma once

#include "d3dframework/mesh.h"

#include <functional>
#include <memory>

namespace devtest {

// Cell (i, j) spans x 10i..10i+10 and z 10j..10j+10. `split(i, j)` cuts it along
// (i+1, j)-(i, j+1); otherwise along (i, j)-(i+1, j+1). Faces come in cell order, two per cell.
std::unique_ptr<lnd::DeviceMesh> makeGrid(int cellsX, int cellsZ, const std::function<bool(int, int)>& split,
                                          const std::function<float(int, int)>& height = {});

}  // namespace devtest
