// The editor's land: one landscape file held whole in memory, typed views into it, the state
// flags around it, the sea parameters, the land bounds, the device textures made from it
// (LandTextures) and the altitude brush's edit history (BrushHistory). The brush tool's state
// (where, how wide, how strong) is the window's; commands take it as a value.
//
// The image is the file as read, with one difference: while a land is held, the header's
// NumBlocks counts block records (the file stores one more). The views are recomputed from
// the header with the fixed record sizes every time the image is replaced or grows, so code
// may keep record indices across a growth but never pointers or spans.
#pragma once

#include "base/file_io.h"
#include "base/result.h"
#include "d3dframework/texture.h"
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
#include <utility>
#include <vector>

namespace lnd {

class DeviceMesh;      // d3dframework/mesh.h

inline constexpr int kMaxCountries = 15;

// A full save synthesises every block texture still missing so the low-resolution tiles
// show every block; a quick save writes the tiles as they are.
enum class SaveKind { Full, Quick };

// Something a save noticed about a low-resolution texture while copying it back into its
// record; the save goes on. The shells put these into their own words.
struct SaveNote {
    enum class Kind {
        NoSurface,            // the record has no device texture
        NoDescription,        // the texture's level 0 cannot be described
        SurfaceDescription,   // the debugVideo setting asks for every surface's description
        LockFailed,           // a DXT3 texture could not be locked
        UnexpectedPitch,      // a DXT3 texture's rows are not 1024 bytes apart (`pitch`)
        Unsupported,          // the texture's format (or its lock) cannot be saved
    };
    Kind kind = Kind::NoSurface;
    SurfaceDesc desc{};
    int pitch = 0;
};

// The reason a load gives for a land whose blocks overlap at the origin.
inline constexpr const char* kBlocksAtOriginReason = "two or more blocks lie at the origin";
// True when a load refused the land for that reason (the file itself was read and well formed).
bool landRefusedAsInvalid(const Result& result);

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

class CLand {
public:
    CLand();
    ~CLand();
    CLand(const CLand&) = delete;
    CLand& operator=(const CLand&) = delete;

    // ---- Load and save (land_io.cpp) ------------------------------------------------------

    // Reads a landscape file and checks it without touching any land: on success `image` is
    // the file as read, for takeLoaded; on failure it is empty and the result says why (the
    // read error, the checker's offset and message, kBlocksAtOriginReason, out of memory).
    static Result readLandFile(const std::string& path, std::vector<std::uint8_t>& image);
    // Holds an image readLandFile accepted in place of the current land and builds its
    // derived data with what it needs from the settings. Cannot fail.
    void takeLoaded(std::vector<std::uint8_t> image, const std::string& path, const LandSettings& settings);
    // readLandFile then takeLoaded; on failure no land is held.
    Result Load(const std::string& path, const LandSettings& settings);
    // Copies the low-resolution textures back into their records and writes the file
    // atomically (compacting once a block was deleted). The folding of the meshes and, for a
    // full save, the synthesis of missing block textures come first (saveLand in the view
    // layer does all of it). On failure the previous file is untouched and the land stays
    // modified; NotPossible with nothing written when no land is loaded. What the copy-back
    // noticed is in saveNotes() either way.
    Result Save(const std::string& path);
    const std::vector<SaveNote>& saveNotes() const { return m_saveNotes; }

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

    // Sets every cell to the lowest byte of `level` with country 0 (Water as well when the
    // level is 0, no other flag), releases the textures, forgets the brush history, counts an
    // edit of every block and sets m_modified. The meshes, the geometry and the
    // low-resolution textures are the caller's to rebuild. Does nothing with no land held.
    void levelCells(int level);

    // Releases every low-resolution and block texture and drops both tables (what a new load
    // and the map levelling do before rebuilding).
    void releaseTextures();

    // After an edit of the listed blocks' cells (or their country maps): drops their block
    // textures (the next drawing or full save synthesises them again) and counts an edit of
    // each. Entries -1 or beyond the block records are skipped.
    void blocksEdited(std::span<const int> changed);

    // How many edits block b has had since the land was opened, and all blocks together:
    // whoever keeps state about blocks (a failed synthesis, a level-of-detail plan) compares
    // these with what it saw last, instead of being called from here.
    std::uint32_t blockEdits(int b) const;
    std::uint64_t editGeneration() const { return m_editGeneration; }

    // Writes the heights and diagonals the edits left in the blocks' full-detail meshes
    // (fullMeshes[b], null for none) back into the cells, and clamps country indices the
    // table does not hold. A save does this first.
    void foldMeshesBack(std::span<const DeviceMesh* const> fullMeshes);

    // ---- Paths, texts and state flags ------------------------------------------------------

    // The file the land was read from (a save as changes it).
    const std::string& path() const { return m_landPath; }
    void setPath(std::string path) { m_landPath = std::move(path); }
    // Where the texture exports go: the settings' root, and the land's own folder under it
    // once the first export made it.
    const std::string& exportRoot() const { return m_exportRoot; }
    void setExportRoot(std::string root) { m_exportRoot = std::move(root); }
    const std::string& exportDir() const { return m_exportDir; }
    void setExportDir(std::string dir) { m_exportDir = std::move(dir); }
    // The export folders under the root, from the settings of the last load.
    const ExportSettings& exportSettings() const { return m_exportSettings; }
    void setExportSettings(ExportSettings folders) { m_exportSettings = std::move(folders); }
    // What the block texture synthesis could not do, for the window to show.
    const std::string& textureError() const { return m_textureError; }
    void setTextureError(std::string text) { m_textureError = std::move(text); }
    // Tiles the device could not copy into a low-resolution texture since the shell last
    // asked: the core shows nothing, the shell tells the user once per failure.
    void noteTileCopyFailure() { ++m_tileCopyFailures; }
    int takeTileCopyFailures() { return std::exchange(m_tileCopyFailures, 0); }

    bool loaded() const { return m_loaded; }
    void setLoaded(bool on) { m_loaded = on; }
    // The file no longer holds what is shown.
    bool modified() const { return m_modified; }
    void markModified() { m_modified = true; }
    void setModified(bool on) { m_modified = on; }
    // A block was deleted since the load: the next save compacts.
    bool blocksDeleted() const { return m_blocksDeleted; }
    void setBlocksDeleted(bool on) { m_blocksDeleted = on; }
    bool materialsExported() const { return m_materialsExported; }
    void setMaterialsExported(bool on) { m_materialsExported = on; }
    bool noiseExported() const { return m_noiseExported; }
    void setNoiseExported(bool on) { m_noiseExported = on; }
    bool bumpExported() const { return m_bumpExported; }
    void setBumpExported(bool on) { m_bumpExported = on; }
    // The window is closing: the view asks no more questions.
    bool closing() const { return m_closing; }
    void setClosing(bool on) { m_closing = on; }
    // The debug setting: the view draws its diagnostics.
    bool debug() const { return m_debug; }
    void setDebug(bool on) { m_debug = on; }

    SeaParms m_seaParms;
    LandBounds m_bounds;

    // ---- Device resources and the brush history -----------------------------------------

    LandTextures& textures() { return m_textures; }
    const LandTextures& textures() const { return m_textures; }
    BrushHistory& history() { return m_history; }
    const BrushHistory& history() const { return m_history; }

private:
    // Load's failure path: drops the image and every resource and table made from it.
    void releaseLand();
    Result saveFile(const std::string& path);
    void copyLoResTexturesBack();

    // Recomputes every view from the header; false (and no image) if the header no longer
    // describes the image.
    bool refreshViews();

    std::string m_landPath;
    std::string m_exportRoot;
    std::string m_exportDir;
    std::string m_textureError;
    ExportSettings m_exportSettings;
    int m_tileCopyFailures = 0;
    bool m_loaded = false;
    bool m_modified = false;
    bool m_blocksDeleted = false;
    bool m_materialsExported = false;
    bool m_noiseExported = false;
    bool m_bumpExported = false;
    bool m_closing = false;
    bool m_debug = false;

    std::vector<std::uint8_t> m_fileImage;
    LndLayout m_layout;
    LandTextures m_textures;
    BrushHistory m_history;
    bool m_debugVideo = false;   // from the settings of the last load
    std::vector<SaveNote> m_saveNotes;
    std::vector<std::uint32_t> m_blockEdits;
    std::uint64_t m_editGeneration = 0;
};

}  // namespace lnd
