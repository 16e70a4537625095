// The editor's land: one landscape file held whole in memory, typed views into it, the state
// flags around it, the sea parameters, the land bounds, the device resources made from it and
// the altitude brush's state and edit history.
//
// The image is the file as read, with one difference: while a land is held, the header's
// NumBlocks counts block records (the file stores one more). The views are recomputed from
// the header with the fixed record sizes every time the image is replaced or grows, so code
// may keep record indices across a growth but never pointers or spans.
#pragma once

#include "d3dframework/texture.h"
#include "land/lnd_file.h"
#include "land/lnd_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lnd {

class DeviceMesh;      // d3dframework/mesh.h
struct CBrushDef;
class CSettings;
class UserMessages;

inline constexpr int kMaxCountries = 15;
// A 128-byte DDS header followed by 256 x 256 texels of 4 bytes.
inline constexpr std::size_t kScratchImageSize = 128 + 256 * 256 * 4;

// Sea thresholds and water alphas, read from the settings at every load.
struct SeaParms {
    std::uint8_t alphaCoast = 128;
    std::uint8_t alphaWater = 15;
    std::uint8_t alphaFullWater = 0;
    std::uint8_t altitudeWater = 0;
    std::uint8_t altitudeCoast = 3;
    std::uint8_t altitudeFullWater = 1;   // carried for the settings file; nothing uses it
};

// Extent of every block vertex, y taken as Altitude + 1.
struct LandBounds {
    static constexpr float kUnset = 90000.0f;
    float minX = kUnset, minY = kUnset, minZ = kUnset;
    float maxX = -kUnset, maxY = -kUnset, maxZ = -kUnset;

    // Back to the empty extent the geometry builder widens.
    void reset() { *this = LandBounds{}; }
    void include(float x, float y, float z);
    bool empty() const { return minX > maxX; }
};

// One recorded raise or lower step of the altitude brush; undo replays it with the opposite
// sign.
struct BrushStroke {
    std::int32_t mode = 0;        // +1 raise, -1 lower
    float centreX = 0.0f, centreY = 0.0f, centreZ = 0.0f;
    std::int32_t radius = 0;
    std::int32_t times = 0;
    std::int32_t block = -1;      // block record under the pointer
    const CBrushDef* brush = nullptr;

    // The cells the step changed as they were before it, so undo gives back the exact
    // bytes even where the step hit 0 or 255 or cleared flags.
    struct SavedCell {
        std::int32_t block = 0;
        std::uint16_t cell = 0;   // 17 * i + j
        std::uint8_t altitude = 0;
        std::uint16_t flags = 0;
    };
    std::vector<SavedCell> before;
};

// A table of device resources indexed by record or block number. The table itself may be
// missing (never made, or dropped) and any entry may be empty; `Handle` owns its resource,
// so emptying an entry releases it.
template <typename Handle>
class ResourceTable {
public:
    bool exists() const { return m_exists; }
    std::size_t size() const { return m_entries.size(); }

    // Makes the table with `n` empty entries, releasing whatever it held.
    void make(std::size_t n) {
        drop();
        m_entries.resize(n);
        m_exists = true;
    }
    // Releases every entry and removes the table.
    void drop() {
        releaseAll();
        m_entries.clear();
        m_exists = false;
    }
    // Releases every entry; the table stays.
    void releaseAll() {
        for (Handle& h : m_entries) h = Handle{};
    }
    // Releases one entry; out of range does nothing.
    void release(std::size_t i) {
        if (i < m_entries.size()) m_entries[i] = Handle{};
    }
    // Stores a resource, releasing the previous one. False (and `h` released) when the table
    // is missing or `i` is out of range.
    bool set(std::size_t i, Handle h) {
        if (i >= m_entries.size()) return false;
        m_entries[i] = std::move(h);
        return true;
    }
    bool has(std::size_t i) const { return i < m_entries.size() && static_cast<bool>(m_entries[i]); }
    // The entry, or an empty handle when missing or out of range.
    const Handle& at(std::size_t i) const {
        static const Handle kNone{};
        return i < m_entries.size() ? m_entries[i] : kNone;
    }

private:
    std::vector<Handle> m_entries;
    bool m_exists = false;
};

// Each texture has exactly one owner: the land's table entry.
using TextureHandle = std::unique_ptr<DeviceTexture>;

// Work that belongs to the terrain mesh and the texture synthesis but has to run when the
// whole map is re-initialised. Those parts install these when they are set up; a hook that is
// not installed is skipped.
struct MapRebuildHooks {
    std::function<void()> releaseMeshes;      // the three mesh tables and the mesh boxes
    std::function<void()> buildGeometry;      // BuildGeometry, LinkNeighbours, SyncEdgeFlags
    std::function<void()> loadLoResTextures;  // LoadLoResTextures
    std::function<void()> buildAllMeshes;     // BuildAllMeshes
    std::function<const DeviceMesh*(int b)> fullMesh;   // block b's full-detail mesh, or null
    std::function<void(int b)> synthesizeBlock;         // SynthesizeBlockTexture of block b
    // The cells of the listed blocks (entries -1 skipped) changed, their meshes were rebuilt
    // and their block textures dropped: whatever else was derived from them is stale.
    std::function<void(std::span<const int> blocks)> blocksEdited;
};

class CLand {
public:
    CLand();
    ~CLand();
    CLand(const CLand&) = delete;
    CLand& operator=(const CLand&) = delete;

    // ---- Load and save (land_io.cpp) ------------------------------------------------------

    // Reads a landscape file and builds its derived data. 0, or -1 with the failure shown
    // and no land held.
    int Load(const std::string& path);
    // Folds the mesh heights and diagonals back into the cells, synthesises missing block
    // textures unless `quick`, copies the low-resolution textures back and writes the file
    // atomically (compacting once a block was deleted). 0, or -1 with the failure shown and
    // the previous file untouched; -1 with nothing written when no land is loaded.
    int Save(const std::string& path, int quick);

    // ---- File image ---------------------------------------------------------------------

    // Takes a whole file image (NumBlocks as stored) after checking it: on success the views
    // address it and NumBlocks counts block records; on failure the land holds no image and
    // the result says what is wrong. Safe on untrusted bytes.
    LndCheck adoptImage(std::vector<std::uint8_t> image);
    // Frees the image; every view becomes empty.
    void releaseImage();
    bool hasImage() const { return !m_fileImage.empty(); }

    std::size_t fileSize() const { return m_fileImage.size(); }
    std::span<std::uint8_t> fileImage() { return m_fileImage; }
    std::span<const std::uint8_t> fileImage() const { return m_fileImage; }
    // Section offsets of the current image (NumBlocks in it as in a file).
    const LndLayout& layout() const { return m_layout; }

    // ---- Views (empty when no image) ------------------------------------------------------

    TLndHeader* header();
    const TLndHeader* header() const;
    // Block records held: the in-memory NumBlocks; 0 with no image.
    int numBlocks() const { return m_layout.numBlockRecords; }
    int numCountries() const { return m_layout.numCountries; }
    int numMaterials() const { return m_layout.numMaterials; }
    std::uint32_t numLoResTextures() const { return m_layout.numLoResTextures; }

    std::span<TLndLoResTex> loResTex();
    std::span<TLndBlock> blocks();
    std::span<const TLndBlock> blocks() const;
    std::span<TLndCountry> countries();
    std::span<TLndMaterial> materials();
    TLndNoiseMap* noiseMap();
    TLndBumpMap* bumpMap();

    // The block record on grid square (gx, gz): 0-based record index, or -1 for an empty
    // square, a square outside the grid, or an entry naming no record.
    int blockRecordAt(int gx, int gz) const;

    // ---- Growth for the country import ------------------------------------------------------

    struct CountryGrowth {
        int country = -1;        // index of the new, zero-filled country record
        int firstMaterial = -1;  // index of the first of the new, zero-filled material records
    };
    // Inserts one country record after the last country and `materialCount` material records
    // after the last material, moving everything behind them, and updates NumCountries and
    // NumMaterials and every view. Refused, with the image untouched, when no land is held,
    // the land already has kMaxCountries countries, `materialCount` is negative or the image
    // cannot be made that large. Sets m_modified on success.
    bool growForCountryImport(int materialCount, CountryGrowth* result = nullptr);

    // ---- Whole-map operations ----------------------------------------------------------------

    // Sets every cell to the lowest byte of m_levelValue with country 0 (Water as well when
    // m_levelValue is 0, no other flag), releases the textures and has the hooks release and
    // rebuild meshes, geometry and low-resolution textures; sets m_modified. Does nothing with
    // no land held. Returns 0.
    int InitializeMap();

    // Releases every low-resolution and block texture and drops both tables (what a new load
    // and the map initialisation do before rebuilding).
    void releaseTextures();

    // What the shell has the view do after a successful Load or a device reset: the
    // low-resolution textures made again from their records and every block's meshes built,
    // through the hooks. Block textures follow on demand. Does nothing with no land loaded.
    void recreateDeviceObjects();

    // After an edit of the listed blocks' cells whose meshes the editor already rebuilt:
    // drops their block textures (the next drawing or full save synthesises them again) and
    // tells the hooks. Entries -1 or beyond the block records are skipped.
    void blocksEdited(std::span<const int> changed);

    // ---- Paths and texts ----------------------------------------------------------------

    std::string m_landPath;
    std::string m_exportRoot;
    std::string m_exportDir;
    std::string m_errorText;
    std::string m_textureError;

    // ---- State flags ----------------------------------------------------------------------

    bool m_loaded = false;
    bool m_modified = false;
    bool m_blocksDeleted = false;
    bool m_materialsExported = false;
    bool m_noiseExported = false;
    bool m_bumpExported = false;
    bool m_closing = false;
    bool m_debug = false;

    SeaParms m_seaParms;
    LandBounds m_bounds;

    // ---- Device resources --------------------------------------------------------------

    // The device layer makes textures without a device object, so none is held here.
    ResourceTable<TextureHandle> m_loResTextures;  // one per low-resolution record
    ResourceTable<TextureHandle> m_blockTextures;  // one per block, made on first synthesis
    std::vector<std::uint8_t> m_scratchImage;      // kScratchImageSize bytes, reused by all

    // ---- Altitude brush state and edit history --------------------------------------------

    std::array<float, 3> m_brushCentre{};
    std::int32_t m_cursorBlock = -1;
    std::int32_t m_brushRadius = 80;
    std::int32_t m_brushTimes = 1;
    std::int32_t m_levelValue = 0;
    const CBrushDef* m_brush = nullptr;
    std::deque<BrushStroke> m_strokes;   // undo takes the front
    bool m_replaying = false;

    // ---- Collaborators, set by the shell --------------------------------------------------

    UserMessages* m_messages = nullptr;
    CSettings* m_settings = nullptr;
    MapRebuildHooks m_hooks;

private:
    // Load's failure path: drops the image and every resource and table made from it.
    void releaseLand();
    void foldMeshesBack();
    void copyLoResTexturesBack();

    // Recomputes every view from the header; false (and no image) if the header no longer
    // describes the image.
    bool refreshViews();

    std::vector<std::uint8_t> m_fileImage;
    LndLayout m_layout;
};

}  // namespace lnd
