// The editor's land: one landscape file held whole in memory, typed views into it, the state
// flags around it, the sea parameters, the land bounds, the device textures made from it
// (LandTextures) and the altitude brush's state and edit history (BrushHistory).
//
// The image is the file as read, with one difference: while a land is held, the header's
// NumBlocks counts block records (the file stores one more). The views are recomputed from
// the header with the fixed record sizes every time the image is replaced or grows, so code
// may keep record indices across a growth but never pointers or spans.
#pragma once

#include "base/file_io.h"
#include "land/brush_history.h"
#include "land/land_settings.h"
#include "land/land_textures.h"
#include "format/lnd_file.h"
#include "format/lnd_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
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

// A full save synthesises every block texture still missing so the low-resolution tiles
// show every block; a quick save writes the tiles as they are.
enum class SaveKind { Full, Quick };

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
    std::function<void(std::span<const int> blocks)> synthesizeBlocks;   // the same for each, at once
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

    // Reads a landscape file and builds its derived data, with what it needs from the
    // settings. 0, or -1 with the failure shown and no land held (a file too large for memory
    // included).
    int Load(const std::string& path, const LandSettings& settings);
    // The same with the settings read from m_settings (defaults without one).
    int Load(const std::string& path);
    // Folds the mesh heights and diagonals back into the cells, synthesises missing block
    // textures for a full save, copies the low-resolution textures back and writes the file
    // atomically (compacting once a block was deleted). 0, or -1 with the failure shown and
    // the previous file untouched; -1 with nothing written when no land is loaded.
    int Save(const std::string& path, SaveKind kind);
    // The same save without a word to the user: the Result says why not.
    Result SaveLand(const std::string& path, SaveKind kind);

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

    // The sections of the image as the file writers take them (the header with the in-memory
    // block count); empty spans with no image.
    LndParts parts();

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
    // m_levelValue is 0, no other flag), releases the textures, forgets the brush history and
    // has the hooks release and rebuild meshes, geometry and low-resolution textures; sets
    // m_modified. Does nothing with no land held. Returns 0.
    int InitializeMap();

    // Releases every low-resolution and block texture and drops both tables (what a new load
    // and the map initialisation do before rebuilding).
    void releaseTextures();

    // What the shell has the view do after a successful Load or a device reset: the
    // low-resolution textures made again from their records and every block's meshes built,
    // through the hooks. Block textures still held are kept (a reset changes no cell); missing
    // ones follow on demand. Does nothing with no land loaded.
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

    // ---- Device resources and the brush history -----------------------------------------

    LandTextures& textures() { return m_textures; }
    const LandTextures& textures() const { return m_textures; }
    BrushHistory& history() { return m_history; }
    const BrushHistory& history() const { return m_history; }

    // ---- Altitude brush state ---------------------------------------------------------------

    std::array<float, 3> m_brushCentre{};
    std::int32_t m_cursorBlock = -1;
    std::int32_t m_brushRadius = 80;
    std::int32_t m_brushTimes = 1;
    std::int32_t m_levelValue = 0;
    const CBrushDef* m_brush = nullptr;

    // ---- Collaborators, set by the shell --------------------------------------------------

    UserMessages* m_messages = nullptr;
    CSettings* m_settings = nullptr;
    MapRebuildHooks m_hooks;

private:
    // Load's failure path: drops the image and every resource and table made from it.
    void releaseLand();
    int loadFile(const std::string& path, const LandSettings& settings);
    Result saveFile(const std::string& path, SaveKind kind);
    void foldMeshesBack();
    void copyLoResTexturesBack();

    // Recomputes every view from the header; false (and no image) if the header no longer
    // describes the image.
    bool refreshViews();

    std::vector<std::uint8_t> m_fileImage;
    LndLayout m_layout;
    LandTextures m_textures;
    BrushHistory m_history;
    bool m_debugVideo = false;   // from the settings of the last load
};

}  // namespace lnd
