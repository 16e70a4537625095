// The land as a 3-D mesh for other programs: glTF 2.0 (.glb, .gltf) and Wavefront OBJ files
// written through assimp's exporter.
//
// The surface is the view's full detail: every occupied block's 17 x 17 vertices at the
// view's world coordinates (x and z in world units, y the altitude) and its own diagonals
// (the Split flag), shared block edges welded into one vertex per global cell. Triangles face
// up (+y) in the right-handed convention of both formats; coordinates are not mirrored, so a
// right-handed viewer shows the land as its own left-handed view mirrored along z. Texture
// coordinates address one atlas laid out like the grid (rows along x), so welded vertices
// share them.
#pragma once

#include "base/result.h"
#include "codec/image.h"
#include "textures/map_picture.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

namespace lnd {

class CLand;

enum class MeshFileFormat { Glb, Gltf, Obj };

// The format for a file name's extension (.glb, .gltf, .obj, case ignored); none otherwise.
std::optional<MeshFileFormat> meshFormatFor(const std::string& path);

// The welded full-detail surface of the land's occupied blocks.
struct LandSurface {
    OccupiedGrid grid;
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;      // area-weighted, unit length
    std::vector<glm::vec2> uvs;          // atlas coordinates, v from the bottom (0) to the top (1)
    std::vector<std::uint32_t> indices;  // three per triangle
    int blocks = 0;                      // occupied block records
};

// Builds the surface. NotPossible when the land holds no block on its grid.
Result buildLandSurface(const CLand& land, LandSurface& out);

// Texels per square side in the atlas: 256 (a block texture at full size) while the atlas
// stays within kMaxAtlasSide, else halved as often as needed.
inline constexpr int kMaxAtlasSide = 4096;
int atlasTileSide(const OccupiedGrid& grid);

struct MeshExportOptions {
    bool textures = false;   // the synthesised block textures in one atlas
    bool sea = false;        // a sea plane at the water altitude
    std::array<std::uint8_t, 3> seaColour{34, 78, 122};   // the sea's colour; texels blend over it
    int threads = 0;         // atlas synthesis; 0: one per processor, at most 8
    // Hears (blocks done, blocks in all) while the atlas is made; may be empty.
    std::function<void(int done, int total)> progress;
};

// The atlas: every occupied square's synthesised texture at its place on the grid (square
// (gx, gz) at pixel row (gx - minX)·tile, column (gz - minZ)·tile), blended over the sea
// colour by its alpha; empty squares sea. Box-filtered when the tile is smaller than 256.
Result buildTextureAtlas(const CLand& land, const MeshExportOptions& options, CImage32& out);

struct MeshExportSummary {
    int vertices = 0;    // the land's, the sea plane not counted
    int triangles = 0;
    int blocks = 0;
    std::vector<std::string> files;   // every file written, the mesh file last
};

// Writes the mesh file named by `path` (its format from the extension) and its companions
// beside it: a .gltf its ".bin" buffer, an OBJ its ".mtl" materials, and with textures the
// atlas "<name>_texture.png" (a .glb carries the atlas inside). Every file is made in memory
// or a private temporary folder first and then written atomically as one set: on failure
// nothing of the set is left half-written and existing files keep their bytes.
Result exportLandMesh(const CLand& land, const std::string& path, const MeshExportOptions& options,
                      MeshExportSummary* summary = nullptr);

}  // namespace lnd
