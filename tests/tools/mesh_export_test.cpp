#include "tools/mesh_export.h"

#include "codec/picture_file.h"
#include "textures/synthesis.h"
#include "tools/cell_grid.h"
#include "support/editor_land.h"

#include <glm/geometric.hpp>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <variant>

using namespace lnd;
using lndtest::EditorLand;
using lndtest::LandBuilder;
using lndtest::TempDir;

namespace {

// ---- A small JSON reader, enough for the structure of a glTF file --------------------------

struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>, std::map<std::string, Json>> v;

    bool has(const std::string& key) const {
        const auto* o = std::get_if<std::map<std::string, Json>>(&v);
        return o != nullptr && o->count(key) != 0;
    }
    const Json& operator[](const std::string& key) const { return std::get<std::map<std::string, Json>>(v).at(key); }
    const Json& operator[](std::size_t k) const { return std::get<std::vector<Json>>(v).at(k); }
    std::size_t size() const { return std::get<std::vector<Json>>(v).size(); }
    double num() const { return std::get<double>(v); }
    std::size_t index() const { return std::size_t(num()); }
    const std::string& str() const { return std::get<std::string>(v); }
};

struct JsonReader {
    const std::string& s;
    std::size_t at = 0;

    void space() {
        while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
    }
    bool eat(char c) {
        space();
        if (at < s.size() && s[at] == c) return ++at, true;
        return false;
    }
    Json value() {
        space();
        if (at >= s.size()) throw std::runtime_error("JSON ends early");
        const char c = s[at];
        if (c == '{') {
            ++at;
            std::map<std::string, Json> o;
            if (eat('}')) return {o};
            do {
                space();
                std::string key = value().str();
                if (!eat(':')) throw std::runtime_error("':' expected");
                o[key] = value();
            } while (eat(','));
            if (!eat('}')) throw std::runtime_error("'}' expected");
            return {o};
        }
        if (c == '[') {
            ++at;
            std::vector<Json> a;
            if (eat(']')) return {a};
            do a.push_back(value());
            while (eat(','));
            if (!eat(']')) throw std::runtime_error("']' expected");
            return {a};
        }
        if (c == '"') {
            std::string out;
            for (++at; at < s.size() && s[at] != '"'; ++at) {
                if (s[at] == '\\') ++at;
                out += s[at];
            }
            ++at;
            return {out};
        }
        if (s.compare(at, 4, "true") == 0) return at += 4, Json{true};
        if (s.compare(at, 5, "false") == 0) return at += 5, Json{false};
        if (s.compare(at, 4, "null") == 0) return at += 4, Json{nullptr};
        char* end = nullptr;
        const double d = std::strtod(s.c_str() + at, &end);
        if (end == s.c_str() + at) throw std::runtime_error("bad JSON at " + std::to_string(at));
        at = std::size_t(end - s.c_str());
        return {d};
    }
};

Json parseJson(const std::string& text) {
    JsonReader r{text};
    Json j = r.value();
    r.space();
    if (r.at != text.size()) throw std::runtime_error("trailing JSON");
    return j;
}

std::uint32_t le32(const std::uint8_t* p) { return std::uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }

struct Gltf {
    Json json;
    std::vector<std::uint8_t> bin;
};

// The two chunks of a .glb file, every length checked against the file.
Gltf readGlb(const std::vector<std::uint8_t>& file) {
    if (file.size() < 20 || std::memcmp(file.data(), "glTF", 4) != 0) throw std::runtime_error("no glTF magic");
    if (le32(file.data() + 4) != 2) throw std::runtime_error("not version 2");
    if (le32(file.data() + 8) != file.size()) throw std::runtime_error("length field differs from the file");
    Gltf g;
    std::size_t at = 12;
    int chunk = 0;
    while (at < file.size()) {
        if (file.size() - at < 8) throw std::runtime_error("chunk header cut");
        const std::uint32_t length = le32(file.data() + at), type = le32(file.data() + at + 4);
        if (length % 4 != 0 || file.size() - at - 8 < length) throw std::runtime_error("chunk length");
        const auto* data = file.data() + at + 8;
        if (chunk == 0 && type == 0x4E4F534A) g.json = parseJson(std::string(data, data + length));
        else if (chunk == 1 && type == 0x004E4942) g.bin.assign(data, data + length);
        else throw std::runtime_error("unexpected chunk");
        at += 8 + length;
        ++chunk;
    }
    return g;
}

std::size_t componentBytes(int type) {
    switch (type) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    }
    throw std::runtime_error("component type " + std::to_string(type));
}
std::size_t componentsOf(const std::string& type) {
    static const std::map<std::string, std::size_t> n{{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    return n.at(type);
}

// Component c of element k of an accessor, as a double.
double element(const Gltf& g, const Json& accessor, std::size_t k, std::size_t c) {
    const Json& view = g.json["bufferViews"][accessor["bufferView"].index()];
    const std::size_t size = componentBytes(int(accessor["componentType"].num()));
    const std::size_t n = componentsOf(accessor["type"].str());
    const std::size_t stride = view.has("byteStride") ? view["byteStride"].index() : size * n;
    const std::size_t offset = (view.has("byteOffset") ? view["byteOffset"].index() : 0) +
                               (accessor.has("byteOffset") ? accessor["byteOffset"].index() : 0) + k * stride + c * size;
    const std::uint8_t* p = g.bin.data() + offset;
    switch (int(accessor["componentType"].num())) {
    case 5126: { float f; std::memcpy(&f, p, 4); return f; }
    case 5125: return le32(p);
    case 5123: return p[0] | p[1] << 8;
    default: return p[0];
    }
}

// Buffers, views and accessors fit each other; min and max are those of the data; every
// index names a vertex of its primitive.
void checkStructure(const Gltf& g, std::size_t bufferBytes) {
    ASSERT_EQ(g.json["asset"]["version"].str(), "2.0");
    ASSERT_EQ(g.json["buffers"].size(), 1u);
    const std::size_t length = g.json["buffers"][0]["byteLength"].index();
    EXPECT_LE(length, bufferBytes);
    EXPECT_LT(bufferBytes - length, 4u);
    const Json& views = g.json["bufferViews"];
    for (std::size_t v = 0; v < views.size(); ++v) {
        const std::size_t offset = views[v].has("byteOffset") ? views[v]["byteOffset"].index() : 0;
        EXPECT_LE(offset + views[v]["byteLength"].index(), length) << "view " << v;
    }
    const Json& accessors = g.json["accessors"];
    for (std::size_t a = 0; a < accessors.size(); ++a) {
        SCOPED_TRACE("accessor " + std::to_string(a));
        const Json& acc = accessors[a];
        const Json& view = views[acc["bufferView"].index()];
        const std::size_t n = componentsOf(acc["type"].str()), size = componentBytes(int(acc["componentType"].num()));
        const std::size_t count = acc["count"].index();
        const std::size_t need = (acc.has("byteOffset") ? acc["byteOffset"].index() : 0) + count * n * size;
        ASSERT_LE(need, view["byteLength"].index());
        if (!acc.has("min")) continue;
        ASSERT_EQ(acc["min"].size(), n);
        for (std::size_t c = 0; c < n; ++c) {
            double lo = 1e300, hi = -1e300;
            for (std::size_t k = 0; k < count; ++k) {
                lo = std::min(lo, element(g, acc, k, c));
                hi = std::max(hi, element(g, acc, k, c));
            }
            EXPECT_FLOAT_EQ(float(acc["min"][c].num()), float(lo)) << "component " << c;
            EXPECT_FLOAT_EQ(float(acc["max"][c].num()), float(hi)) << "component " << c;
        }
    }
    for (std::size_t m = 0; m < g.json["meshes"].size(); ++m)
        for (std::size_t p = 0; p < g.json["meshes"][m]["primitives"].size(); ++p) {
            const Json& prim = g.json["meshes"][m]["primitives"][p];
            const Json& positions = accessors[prim["attributes"]["POSITION"].index()];
            EXPECT_TRUE(positions.has("min") && positions.has("max"));
            const Json& indices = accessors[prim["indices"].index()];
            for (std::size_t k = 0; k < indices["count"].index(); ++k)
                ASSERT_LT(element(g, indices, k, 0), positions["count"].num());
        }
}

std::uint8_t globalAltitude(int row, int col) { return std::uint8_t(20 + (row * 7 + col * 3) % 200); }

// Welded altitudes and diagonals that vary from cell to cell.
LandBuilder::BlockFill welded() {
    return [](TLndBlock& b) {
        for (int i = 0; i < kCellsPerSide; ++i)
            for (int j = 0; j < kCellsPerSide; ++j) {
                const int row = 16 * int(b.GridX) + i, col = 16 * int(b.GridZ) + j;
                b.Cells[i][j].Altitude = globalAltitude(row, col);
                b.Cells[i][j].CellFlags = std::uint16_t((row + col) % 3 == 0 ? kSplit : 0);
            }
    };
}

// Squares (3,5) and (3,6) share an edge; (5,5) stands apart.
LandBuilder threeBlocks() {
    return LandBuilder().countries(2).materials(3).block(3, 5, welded()).block(3, 6, welded()).block(5, 5, welded());
}
constexpr int kVertices = 289 * 3 - 17, kTriangles = 512 * 3;

struct Range {
    float lo = 1e30f, hi = -1e30f;
    void add(float v) { lo = std::min(lo, v), hi = std::max(hi, v); }
};

}  // namespace

TEST(MeshExport, SurfaceWeldsSharedEdgesAndKeepsTheMeshsOwnDiagonals) {
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    const CLand& land = held.land;
    LandSurface s;
    ASSERT_TRUE(buildLandSurface(land, s));
    ASSERT_EQ(s.positions.size(), std::size_t(kVertices));
    ASSERT_EQ(s.indices.size(), std::size_t(3 * kTriangles));
    EXPECT_EQ(s.blocks, 3);

    // One vertex per global cell, at its world place and altitude.
    std::map<std::pair<int, int>, std::size_t> at;
    for (std::size_t k = 0; k < s.positions.size(); ++k) {
        const glm::vec3 p = s.positions[k];
        const int row = int(p.x) / 10, col = int(p.z) / 10;
        ASSERT_TRUE(at.emplace(std::make_pair(row, col), k).second) << "two vertices at " << row << "," << col;
        ASSERT_EQ(p.y, float(globalAltitude(row, col)));
        // The atlas coordinates of the grid (v from the bottom).
        ASSERT_NEAR(s.uvs[k].x, float(col - 80) / 32.0f, 1e-6f);
        ASSERT_NEAR(s.uvs[k].y, 1.0f - float(row - 48) / 48.0f, 1e-6f);
        ASSERT_NEAR(glm::length(s.normals[k]), 1.0f, 1e-5f);
    }
    // Every square is cut along the diagonal its Split flag names, and faces up.
    std::set<std::pair<std::size_t, std::size_t>> edges;
    for (std::size_t t = 0; t < s.indices.size(); t += 3) {
        const glm::vec3 a = s.positions[s.indices[t]], b = s.positions[s.indices[t + 1]], c = s.positions[s.indices[t + 2]];
        ASSERT_GT(glm::cross(b - a, c - a).y, 0.0f);
        for (int e = 0; e < 3; ++e) {
            const std::size_t u = s.indices[t + std::size_t(e)], v = s.indices[t + std::size_t(e + 1) % 3];
            edges.insert({std::min(u, v), std::max(u, v)});
        }
    }
    int squares = 0;
    for (const auto& [rc, a] : at) {
        const auto [row, col] = rc;
        const auto b = at.find({row + 1, col}), c = at.find({row, col + 1}), d = at.find({row + 1, col + 1});
        if (b == at.end() || c == at.end() || d == at.end()) continue;
        // A square between blocks with a hole beside it has no block of its own.
        if (row / 16 == 4 || (row / 16 == 5 && col / 16 == 6)) continue;
        ++squares;
        const bool split = (row + col) % 3 == 0;
        const auto key = [](std::size_t u, std::size_t v) { return std::make_pair(std::min(u, v), std::max(u, v)); };
        EXPECT_EQ(edges.count(key(b->second, c->second)), split ? 1u : 0u) << row << "," << col;
        EXPECT_EQ(edges.count(key(a, d->second)), split ? 0u : 1u) << row << "," << col;
    }
    EXPECT_EQ(squares, 256 * 3);

    // Copies of a shared cell that disagree: the welded vertex takes the copy the heightmap
    // shows (the block whose own square holds the cell).
    EditorLand torn(threeBlocks(), EditorLand::State::AsRead);
    torn.land.blocks()[0].Cells[5][16].Altitude = 3;
    LandSurface t;
    ASSERT_TRUE(buildLandSurface(torn.land, t));
    ASSERT_EQ(t.positions.size(), std::size_t(kVertices));
    int found = 0;
    for (const glm::vec3& p : t.positions) {
        if (p.x != 530.0f || p.z != 960.0f) continue;
        EXPECT_EQ(p.y, float(globalAltitude(53, 96)));
        ++found;
    }
    EXPECT_EQ(found, 1);

    // Flat land: every normal straight up.
    EditorLand flatLand(LandBuilder().block(0, 0, lndtest::flat(9)).block(0, 1, lndtest::flat(9)), EditorLand::State::AsRead);
    ASSERT_TRUE(buildLandSurface(flatLand.land, s));
    EXPECT_EQ(s.positions.size(), 289u * 2 - 17);
    for (const glm::vec3& n : s.normals) ASSERT_EQ(n, glm::vec3(0.0f, 1.0f, 0.0f));

    EditorLand none(LandBuilder(), EditorLand::State::AsRead);
    EXPECT_EQ(buildLandSurface(none.land, s).status(), Status::NotPossible);
}

TEST(MeshExport, FilesReadBackWithTheirCountsBoundsAndWeldedEdges) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    const CLand& land = held.land;
    Range altitude;
    for (int row = 48; row <= 96; ++row)
        for (int col = 80; col <= 112; ++col)
            if (gridCellAt(land, row, col) != nullptr) altitude.add(float(globalAltitude(row, col)));

    struct Case {
        const char* name;
        bool textures, sea;
        std::vector<std::string> files;   // written beside it
    };
    const Case cases[] = {
        {"plain.glb", false, false, {}},
        {"textured.glb", true, true, {}},
        {"plain.gltf", false, false, {"plain.bin"}},
        {"textured.gltf", true, false, {"textured.bin", "textured_texture.png"}},
        {"plain.obj", false, true, {"plain.mtl"}},
        {"textured.obj", true, false, {"textured.mtl", "textured_texture.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sub = dir.file(std::string(c.name) + ".d");
        std::filesystem::create_directory(sub);
        MeshExportOptions options;
        options.textures = c.textures;
        options.sea = c.sea;
        MeshExportSummary summary;
        const std::string path = sub + "/" + c.name;
        ASSERT_TRUE(exportLandMesh(land, path, options, &summary));
        EXPECT_EQ(summary.vertices, kVertices);
        EXPECT_EQ(summary.triangles, kTriangles);
        std::set<std::string> expected{c.name};
        for (const std::string& f : c.files) expected.insert(f);
        std::set<std::string> made;
        for (const auto& e : std::filesystem::directory_iterator(sub)) made.insert(e.path().filename().string());
        EXPECT_EQ(made, expected);
        EXPECT_EQ(summary.files.back(), path);

        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, aiProcess_JoinIdenticalVertices);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        const aiMesh* landMesh = nullptr;
        const aiMesh* seaMesh = nullptr;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            const aiMesh* mesh = scene->mMeshes[m];
            (mesh->mNumFaces == 2 ? seaMesh : landMesh) = mesh;
        }
        ASSERT_NE(landMesh, nullptr);
        EXPECT_EQ(landMesh->mNumVertices, unsigned(kVertices));
        EXPECT_EQ(landMesh->mNumFaces, unsigned(kTriangles));
        EXPECT_EQ(seaMesh != nullptr, c.sea);
        Range x, y, z;
        std::set<std::pair<float, float>> places;
        for (unsigned k = 0; k < landMesh->mNumVertices; ++k) {
            const aiVector3D p = landMesh->mVertices[k];
            x.add(p.x), y.add(p.y), z.add(p.z);
            places.insert({p.x, p.z});
        }
        EXPECT_EQ(places.size(), std::size_t(kVertices)) << "a shared edge is not welded";
        EXPECT_EQ(x.lo, 480.0f);
        EXPECT_EQ(x.hi, 960.0f);
        EXPECT_EQ(z.lo, 800.0f);
        EXPECT_EQ(z.hi, 1120.0f);
        EXPECT_EQ(y.lo, altitude.lo);
        EXPECT_EQ(y.hi, altitude.hi);
        if (seaMesh != nullptr) {
            for (unsigned k = 0; k < seaMesh->mNumVertices; ++k) EXPECT_EQ(seaMesh->mVertices[k].y, 0.0f);
        }
        // The vertex on the grid's first cell takes the atlas's top-left corner.
        for (unsigned k = 0; k < landMesh->mNumVertices; ++k)
            if (landMesh->mVertices[k].x == 480.0f && landMesh->mVertices[k].z == 800.0f) {
                ASSERT_NE(landMesh->mTextureCoords[0], nullptr);
                EXPECT_NEAR(landMesh->mTextureCoords[0][k].x, 0.0f, 1e-6f);
                EXPECT_NEAR(landMesh->mTextureCoords[0][k].y, 1.0f, 1e-6f);
            }
    }
}

TEST(MeshExport, GltfFilesPassTheStructuralCheck) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    MeshExportOptions options;
    options.textures = true;
    options.sea = true;
    ASSERT_TRUE(exportLandMesh(held.land, dir.file("land.glb"), options));
    const Gltf glb = readGlb(lndtest::readBytes(dir.file("land.glb")));
    checkStructure(glb, glb.bin.size());
    // The atlas rides in the binary chunk: a PNG of the grid at 256 texels a square.
    const Json& image = glb.json["images"][0];
    ASSERT_TRUE(image.has("bufferView"));
    EXPECT_EQ(image["mimeType"].str(), "image/png");
    const Json& view = glb.json["bufferViews"][image["bufferView"].index()];
    const std::size_t offset = view.has("byteOffset") ? view["byteOffset"].index() : 0;
    std::unique_ptr<CImageBase> atlas;
    ASSERT_TRUE(decodePngPicture({glb.bin.data() + offset, view["byteLength"].index()}, atlas));
    EXPECT_EQ(atlas->width(), 2 * 256);
    EXPECT_EQ(atlas->height(), 3 * 256);
    // glTF counts v from the top: the first cell's vertex sits at the atlas's (0, 0).
    const Json& prim = glb.json["meshes"][0]["primitives"][0];
    const Json& positions = glb.json["accessors"][prim["attributes"]["POSITION"].index()];
    const Json& uvs = glb.json["accessors"][prim["attributes"]["TEXCOORD_0"].index()];
    EXPECT_EQ(positions["count"].index(), std::size_t(kVertices));
    EXPECT_EQ(element(glb, positions, 0, 0), 480.0);
    EXPECT_EQ(element(glb, positions, 0, 2), 800.0);
    EXPECT_NEAR(element(glb, uvs, 0, 0), 0.0, 1e-6);
    EXPECT_NEAR(element(glb, uvs, 0, 1), 0.0, 1e-6);

    ASSERT_TRUE(exportLandMesh(held.land, dir.file("land.gltf"), options));
    Gltf gltf;
    const std::vector<std::uint8_t> text = lndtest::readBytes(dir.file("land.gltf"));
    gltf.json = parseJson(std::string(text.begin(), text.end()));
    EXPECT_EQ(gltf.json["buffers"][0]["uri"].str(), "land.bin");
    EXPECT_EQ(gltf.json["images"][0]["uri"].str(), "land_texture.png");
    gltf.bin = lndtest::readBytes(dir.file("land.bin"));
    checkStructure(gltf, gltf.bin.size());
}

TEST(MeshExport, AtlasHoldsEachSquaresTextureOverTheSeaAndShrinksForWideGrids) {
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    CLand& land = held.land;
    // Some water so that the sea shows through.
    land.blocks()[2].Cells[0][0].CellFlags = kWater;
    MeshExportOptions options;
    options.threads = 2;
    std::vector<int> heard;
    options.progress = [&](int done, int total) {
        EXPECT_EQ(total, 3);
        heard.push_back(done);
    };
    CImage32 atlas;
    ASSERT_TRUE(buildTextureAtlas(land, options, atlas));
    EXPECT_EQ(heard, std::vector<int>{3});
    ASSERT_EQ(atlas.width(), 512);
    ASSERT_EQ(atlas.height(), 768);
    std::vector<std::uint8_t> texels(kBlockTexelBytes);
    const LandTables tables = landTables(land);
    const SeaAlphas alphas{};
    const struct {
        int record, top, left;
    } squares[] = {{0, 0, 0}, {1, 0, 256}, {2, 512, 0}};
    for (const auto& sq : squares) {
        synthesizeBlockTexels(land.blocks()[std::size_t(sq.record)], tables.countries, tables.materials, *tables.noise, alphas,
                              texels.data());
        for (const auto& [r, c] : {std::pair{0, 0}, std::pair{7, 200}, std::pair{255, 255}}) {
            const std::uint8_t* t = texels.data() + 4 * (256 * r + c);
            const unsigned a = t[3];
            const std::uint8_t* p = atlas.pixel(sq.left + c, sq.top + r);
            EXPECT_EQ(p[1], (t[2] * a + 34 * (255 - a) + 127) / 255) << sq.record << " " << r << "," << c;
            EXPECT_EQ(p[3], (t[0] * a + 122 * (255 - a) + 127) / 255);
        }
    }
    const std::uint8_t* sea = atlas.pixel(300, 300);   // square (4, 6): no block
    EXPECT_EQ(sea[1], 34);
    EXPECT_EQ(sea[2], 78);
    EXPECT_EQ(sea[3], 122);

    OccupiedGrid grid;
    grid.any = true;
    const struct {
        int squares, tile;
    } sides[] = {{1, 256}, {16, 256}, {17, 128}, {32, 128}};
    for (const auto& s : sides) {
        grid.minX = 0, grid.maxX = s.squares - 1, grid.minZ = 0, grid.maxZ = 0;
        EXPECT_EQ(atlasTileSide(grid), s.tile) << s.squares;
    }
}

TEST(MeshExport, RefusesOtherExtensionsAndUnwritableFoldersLeavingNothing) {
    TempDir dir;
    EditorLand held(threeBlocks(), EditorLand::State::AsRead);
    lndtest::writeBytes(dir.file("plain"), {7});
    for (const char* name : {"plain/land.glb", "plain/land.gltf", "plain/land.obj"}) {
        MeshExportOptions options;
        options.textures = true;
        const Result r = exportLandMesh(held.land, dir.file(name), options);
        EXPECT_FALSE(r) << name;
        EXPECT_FALSE(r.message().empty());
    }
    Result r = exportLandMesh(held.land, dir.file("land.fbx"), {});
    EXPECT_EQ(r.message(), "a mesh file is .glb, .gltf or .obj");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1u);
    EXPECT_EQ(meshFormatFor("A.GLB"), MeshFileFormat::Glb);
    EXPECT_EQ(meshFormatFor("dir.obj/land"), std::nullopt);
}
