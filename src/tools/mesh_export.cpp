#include "tools/mesh_export.h"

#include "base/file_io.h"
#include "codec/picture_file.h"
#include "land/land.h"
#include "textures/synthesis.h"
#include "tools/cell_grid.h"
#include "view/terrain_mesh.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <assimp/texture.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

namespace lnd {

namespace {

namespace fs = std::filesystem;


// ---- Scene for assimp ------------------------------------------------------------------------

aiMesh* makeMesh(const char* name, const std::vector<glm::vec3>& positions, const std::vector<glm::vec3>& normals,
                 const std::vector<glm::vec2>& uvs, const std::vector<std::uint32_t>& indices, unsigned material) {
    auto mesh = std::make_unique<aiMesh>();
    mesh->mName = name;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = material;
    mesh->mNumVertices = unsigned(positions.size());
    mesh->mVertices = new aiVector3D[positions.size()];
    mesh->mNormals = new aiVector3D[positions.size()];
    mesh->mTextureCoords[0] = new aiVector3D[positions.size()];
    mesh->mNumUVComponents[0] = 2;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        mesh->mVertices[k] = aiVector3D(positions[k].x, positions[k].y, positions[k].z);
        mesh->mNormals[k] = aiVector3D(normals[k].x, normals[k].y, normals[k].z);
        mesh->mTextureCoords[0][k] = aiVector3D(uvs[k].x, uvs[k].y, 0.0f);
    }
    mesh->mNumFaces = unsigned(indices.size() / 3);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3]{indices[3 * f], indices[3 * f + 1], indices[3 * f + 2]};
    }
    return mesh.release();
}

aiMaterial* makeMaterial(const char* name, aiColor3D colour, const std::string& texture) {
    auto material = std::make_unique<aiMaterial>();
    const aiString materialName(name);
    material->AddProperty(&materialName, AI_MATKEY_NAME);
    material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
    const aiColor4D base(colour.r, colour.g, colour.b, 1.0f);
    material->AddProperty(&base, 1, AI_MATKEY_BASE_COLOR);
    const float metallic = 0.0f, roughness = 1.0f;
    material->AddProperty(&metallic, 1, AI_MATKEY_METALLIC_FACTOR);
    material->AddProperty(&roughness, 1, AI_MATKEY_ROUGHNESS_FACTOR);
    if (!texture.empty()) {
        const aiString path(texture);
        material->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
        material->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_BASE_COLOR, 0));
    }
    return material.release();
}

// A private folder for the exporter's files, removed with everything in it.
struct ScratchFolder {
    fs::path path;
    ScratchFolder() {
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        std::string pattern = ((ec ? fs::path("/tmp") : base) / "lnd-mesh-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) path = made;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

}  // namespace

std::optional<MeshFileFormat> meshFormatFor(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".glb") return MeshFileFormat::Glb;
    if (ext == ".gltf") return MeshFileFormat::Gltf;
    if (ext == ".obj") return MeshFileFormat::Obj;
    return std::nullopt;
}

int atlasTileSide(const OccupiedGrid& grid) {
    int tile = kBlockTextureSide;
    const int squares = std::max(grid.squaresX(), grid.squaresZ());
    while (tile > 1 && squares * tile > kMaxAtlasSide) tile /= 2;
    return tile;
}

Result buildLandSurface(const CLand& land, LandSurface& out) {
    out = LandSurface{};
    const OccupiedGrid grid = occupiedGrid(land);
    if (!grid.any) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    out.grid = grid;
    const std::vector<OccupiedSquare> squares = occupiedSquares(land, grid);
    out.blocks = int(squares.size());

    // The view's own geometry: its positions and its diagonals.
    CTerrainMesh view;
    LandBounds bounds;
    view.BuildGeometry(land.blocks(), bounds);

    const int row0 = kSquaresPerSide * grid.minX, col0 = kSquaresPerSide * grid.minZ;
    const int rows = grid.rows(), columns = grid.columns();
    std::vector<std::int32_t> vertexOf(std::size_t(rows) * std::size_t(columns), -1);
    out.positions.reserve(squares.size() * kCellsPerBlock);
    out.indices.reserve(squares.size() * kFullTriangles * 3);
    const float uScale = 1.0f / float(columns - 1), vScale = 1.0f / float(rows - 1);
    for (const OccupiedSquare& s : squares) {
        const BlockGeometry& g = view.geometry(s.record);
        std::uint32_t local[kVerticesPerBlock];
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const int r = kSquaresPerSide * s.gx + i - row0, c = kSquaresPerSide * s.gz + j - col0;
                std::int32_t& id = vertexOf[std::size_t(r) * std::size_t(columns) + std::size_t(c)];
                if (id < 0) {
                    id = std::int32_t(out.positions.size());
                    // A shared cell takes the altitude of the copy the heightmap shows.
                    const TLndCell* shown = gridCellAt(land, r + row0, c + col0);
                    glm::vec3 p = g.positions[std::size_t(kCellsPerSide * i + j)];
                    if (shown != nullptr) p.y = float(shown->Altitude);
                    out.positions.push_back(p);
                    out.uvs.emplace_back(float(c) * uScale, 1.0f - float(r) * vScale);
                }
                local[kCellsPerSide * i + j] = std::uint32_t(id);
            }
        // The view's triangles face down in a right-handed frame; turned round to face up.
        for (const BlockTriangle& t : g.triangles) {
            out.indices.push_back(local[t.v[0]]);
            out.indices.push_back(local[t.v[2]]);
            out.indices.push_back(local[t.v[1]]);
        }
    }
    out.normals.assign(out.positions.size(), glm::vec3(0.0f));
    for (std::size_t k = 0; k < out.indices.size(); k += 3) {
        const glm::vec3& a = out.positions[out.indices[k]];
        const glm::vec3 n = glm::cross(out.positions[out.indices[k + 1]] - a, out.positions[out.indices[k + 2]] - a);
        for (int e = 0; e < 3; ++e) out.normals[out.indices[k + std::size_t(e)]] += n;
    }
    for (glm::vec3& n : out.normals) {
        const float length = glm::length(n);
        n = length > 0.0f ? n / length : glm::vec3(0.0f, 1.0f, 0.0f);
    }
    return Result::success();
}

Result buildTextureAtlas(const CLand& land, const MeshExportOptions& options, CImage32& out) {
    const OccupiedGrid grid = occupiedGrid(land);
    const LandTables tables = landTables(land);
    if (!grid.any || tables.noise == nullptr) return Result::failure(Status::NotPossible, "the land has no block on its grid");
    const int tile = atlasTileSide(grid);
    const int shrink = kBlockTextureSide / tile;
    if (!out.SetSize(grid.squaresZ() * tile, grid.squaresX() * tile))
        return Result::failure(Status::OutOfMemory, "the atlas cannot be made that large");
    const std::array<std::uint8_t, 3> sea = options.seaColour;
    for (std::size_t k = 0; k < std::size_t(out.width()) * std::size_t(out.height()); ++k) {
        std::uint8_t* p = out.pixels() + 4 * k;
        p[0] = 255;
        p[1] = sea[0];
        p[2] = sea[1];
        p[3] = sea[2];
    }
    const std::vector<OccupiedSquare> squares = occupiedSquares(land, grid);
    const std::span<const TLndBlock> blocks = land.blocks();
    const SeaAlphas alphas{land.m_seaParms.alphaCoast, land.m_seaParms.alphaWater, land.m_seaParms.alphaFullWater};

    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 8);
    // Batches of squares so progress is heard from this thread between them.
    const std::size_t batch = std::max<std::size_t>(16, std::size_t(threads) * 4);
    std::vector<BlockSynthesizer> synths(static_cast<std::size_t>(threads));
    std::vector<std::vector<std::uint8_t>> texels(static_cast<std::size_t>(threads), std::vector<std::uint8_t>(kBlockTexelBytes));
    const int total = int(squares.size());
    for (std::size_t first = 0; first < squares.size(); first += batch) {
        const std::size_t last = std::min(squares.size(), first + batch);
        std::atomic<std::size_t> next{first};
        auto work = [&](int w) {
            BlockSynthesizer& synth = synths[std::size_t(w)];
            std::uint8_t* tex = texels[std::size_t(w)].data();
            for (std::size_t s = next++; s < last; s = next++) {
                const OccupiedSquare& sq = squares[s];
                synth.synthesize(blocks[std::size_t(sq.record)], tables.countries, tables.materials, *tables.noise,
                                 alphas, tex);
                const int top = (sq.gx - grid.minX) * tile, left = (sq.gz - grid.minZ) * tile;
                for (int y = 0; y < tile; ++y)
                    for (int x = 0; x < tile; ++x) {
                        unsigned sum[4] = {};
                        for (int dy = 0; dy < shrink; ++dy)
                            for (int dx = 0; dx < shrink; ++dx) {
                                const std::uint8_t* t =
                                    tex + 4 * (std::size_t(y * shrink + dy) * kBlockTextureSide + std::size_t(x * shrink + dx));
                                for (int c = 0; c < 4; ++c) sum[c] += t[c];
                            }
                        const unsigned n = unsigned(shrink * shrink);
                        const unsigned b = (sum[0] + n / 2) / n, g = (sum[1] + n / 2) / n, r = (sum[2] + n / 2) / n;
                        const unsigned a = (sum[3] + n / 2) / n, na = 255 - a;
                        std::uint8_t* p = out.pixel(left + x, top + y);
                        p[1] = std::uint8_t((r * a + sea[0] * na + 127) / 255);
                        p[2] = std::uint8_t((g * a + sea[1] * na + 127) / 255);
                        p[3] = std::uint8_t((b * a + sea[2] * na + 127) / 255);
                    }
            }
        };
        const int running = int(std::min<std::size_t>(std::size_t(threads), last - first));
        std::vector<std::thread> pool;
        for (int w = 1; w < running; ++w) pool.emplace_back(work, w);
        work(0);
        for (std::thread& t : pool) t.join();
        if (options.progress) options.progress(int(last), total);
    }
    return Result::success();
}

Result exportLandMesh(const CLand& land, const std::string& path, const MeshExportOptions& options,
                      MeshExportSummary* summary) {
    const std::optional<MeshFileFormat> format = meshFormatFor(path);
    if (!format) return Result::failure(Status::BadInput, "a mesh file is .glb, .gltf or .obj");
    LandSurface surface;
    if (Result r = buildLandSurface(land, surface); !r) return r;

    const fs::path target(path);
    const std::string stem = target.stem().string();
    const std::string atlasName = stem + "_texture.png";
    std::vector<std::uint8_t> atlasPng;
    if (options.textures) {
        CImage32 atlas;
        if (Result r = buildTextureAtlas(land, options, atlas); !r) return r;
        atlasPng = encodePngRgbQuick(atlas);
        if (atlasPng.empty()) return Result::failure(Status::IoFailed, "the atlas PNG could not be encoded");
    }

    // The scene owns everything put into it.
    aiScene scene;
    scene.mRootNode = new aiNode("land");
    const unsigned meshCount = options.sea ? 2 : 1;
    scene.mNumMeshes = meshCount;
    scene.mMeshes = new aiMesh*[meshCount]{};
    scene.mNumMaterials = meshCount;
    scene.mMaterials = new aiMaterial*[meshCount]{};
    std::string texturePath;
    if (options.textures) {
        if (*format == MeshFileFormat::Glb) {
            // Carried inside the binary file: a compressed texture of `mWidth` bytes.
            auto* texture = new aiTexture();
            texture->mWidth = unsigned(atlasPng.size());
            texture->mHeight = 0;
            std::strncpy(texture->achFormatHint, "png", sizeof texture->achFormatHint - 1);
            texture->pcData = new aiTexel[(atlasPng.size() + sizeof(aiTexel) - 1) / sizeof(aiTexel)];
            std::memcpy(texture->pcData, atlasPng.data(), atlasPng.size());
            texture->mFilename = atlasName;
            scene.mNumTextures = 1;
            scene.mTextures = new aiTexture*[1]{texture};
            texturePath = "*0";
        } else {
            texturePath = atlasName;
        }
    }
    scene.mMeshes[0] = makeMesh("land", surface.positions, surface.normals, surface.uvs, surface.indices, 0);
    scene.mMaterials[0] = makeMaterial("land", options.textures ? aiColor3D(1.0f, 1.0f, 1.0f) : aiColor3D(0.6f, 0.6f, 0.5f),
                                       texturePath);
    if (options.sea) {
        // One square of margin round the occupied grid, at the water altitude.
        const float y = float(land.m_seaParms.altitudeWater);
        const float span = float(kCellSpacing) * kSquaresPerSide;
        const float x0 = span * float(surface.grid.minX - 1), x1 = span * float(surface.grid.maxX + 2);
        const float z0 = span * float(surface.grid.minZ - 1), z1 = span * float(surface.grid.maxZ + 2);
        const std::vector<glm::vec3> positions{{x0, y, z0}, {x1, y, z0}, {x0, y, z1}, {x1, y, z1}};
        const std::vector<glm::vec3> normals(4, glm::vec3(0.0f, 1.0f, 0.0f));
        const std::vector<glm::vec2> uvs{{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}};
        const std::vector<std::uint32_t> indices{0, 2, 1, 1, 2, 3};
        scene.mMeshes[1] = makeMesh("sea", positions, normals, uvs, indices, 1);
        scene.mMaterials[1] = makeMaterial("sea", aiColor3D(options.seaColour[0] / 255.0f, options.seaColour[1] / 255.0f,
                                                            options.seaColour[2] / 255.0f),
                                           {});
    }
    scene.mRootNode->mNumMeshes = meshCount;
    scene.mRootNode->mMeshes = new unsigned[meshCount];
    for (unsigned m = 0; m < meshCount; ++m) scene.mRootNode->mMeshes[m] = m;

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> contents;   // target path, bytes
    Assimp::Exporter exporter;
    if (*format == MeshFileFormat::Glb) {
        // One self-contained file: made in memory.
        const aiExportDataBlob* blob = exporter.ExportToBlob(&scene, "glb2", 0);
        if (blob == nullptr || blob->next != nullptr)
            return Result::failure(Status::IoFailed, std::string("the mesh exporter failed: ") + exporter.GetErrorString());
        const auto* data = static_cast<const std::uint8_t*>(blob->data);
        contents.emplace_back(path, std::vector<std::uint8_t>(data, data + blob->size));
    } else {
        // The exporter names its companion files inside the main one, so it writes into a
        // private folder under the final names; the set is then saved atomically.
        ScratchFolder scratch;
        if (scratch.path.empty())
            return Result::failure(Status::CannotCreate, "no temporary folder for the mesh files", errno);
        const char* formatId = *format == MeshFileFormat::Gltf ? "gltf2" : "obj";
        if (exporter.Export(&scene, formatId, (scratch.path / target.filename()).string(), 0) != aiReturn_SUCCESS)
            return Result::failure(Status::IoFailed, std::string("the mesh exporter failed: ") + exporter.GetErrorString());
        std::error_code ec;
        std::vector<fs::path> made;
        for (const fs::directory_entry& e : fs::directory_iterator(scratch.path, ec)) made.push_back(e.path());
        if (ec) return Result::failure(Status::IoFailed, "the mesh files cannot be listed: " + ec.message());
        std::sort(made.begin(), made.end());
        const fs::path folder = target.parent_path();
        for (const fs::path& p : made) {
            if (p.filename() == target.filename()) continue;   // the mesh file goes last
            std::vector<std::uint8_t> bytes;
            if (Result r = readWholeFile(p.string(), bytes); !r) return r;
            contents.emplace_back((folder / p.filename()).string(), std::move(bytes));
        }
        if (options.textures) contents.emplace_back((folder / atlasName).string(), std::move(atlasPng));
        std::vector<std::uint8_t> main;
        if (Result r = readWholeFile((scratch.path / target.filename()).string(), main); !r) return r;
        contents.emplace_back(path, std::move(main));
    }

    std::vector<FileToWrite> files;
    for (const auto& [name, bytes] : contents) files.push_back({name, bytes});
    if (Result r = writeFilesAtomic(files); !r) return r;
    if (summary != nullptr) {
        summary->vertices = int(surface.positions.size());
        summary->triangles = int(surface.indices.size() / 3);
        summary->blocks = surface.blocks;
        summary->files.clear();
        for (const auto& c : contents) summary->files.push_back(c.first);
    }
    return Result::success();
}

}  // namespace lnd
