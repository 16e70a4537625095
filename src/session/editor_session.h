// The editor session: the one place editor commands run. It holds the land, its terrain
// mesh and (through the land) the brush history; every command takes its arguments as a
// value, changes the land, keeps the mesh and the block textures in step and says which
// blocks it changed. Nothing here asks the user anything or shows a message: the shells ask
// their questions before calling and put the results into their own words.
#pragma once

#include "base/result.h"
#include "countries/country_import.h"
#include "land/land.h"
#include "land/land_settings.h"
#include "tools/altitude_brush.h"
#include "textures/synthesis.h"
#include "tools/country_map.h"
#include "tools/heightmap.h"
#include "tools/mesh_export.h"
#include "view/terrain_mesh.h"

#include <memory>
#include <string>
#include <vector>

namespace lnd {

// What a command did: its result and the block records whose cells it changed (ascending,
// each once). A failed command changed nothing.
struct CommandResult {
    Result result;
    std::vector<int> changedBlocks;

    bool ok() const { return result.ok(); }
    explicit operator bool() const { return ok(); }
};

// A paint of one block's country map: the picture position (0..255 on the block's 256 x 256
// detail map), the paint size (16, 32, 64 or 128) and the country.
struct PaintRequest {
    int block = -1;   // block record
    int x = 0, y = 0;
    int size = 16;
    int country = 0;
};

// How far an open goes.
enum class OpenDepth {
    Editor,     // as the window opens: geometry, meshes and low-resolution textures made
    Geometry,   // the geometry (edge flags in line); the device objects left to the caller
    AsRead,     // the checked image only, every cell as the file holds it
};

class EditorSession {
public:
    // A session holding a land and a terrain mesh of its own (the command-line tool, tests).
    EditorSession();
    // A session driving a land and a mesh another part holds (the window's view owns the
    // mesh it draws). Both must outlive the session.
    EditorSession(CLand& land, CTerrainMesh& mesh);
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    CLand& land() { return *m_land; }
    const CLand& land() const { return *m_land; }
    CTerrainMesh& mesh() { return *m_mesh; }
    bool loaded() const { return m_land->loaded(); }
    bool modified() const { return m_land->loaded() && m_land->modified(); }

    // ---- Files -------------------------------------------------------------------------

    // Reads and checks the file once; only when it is a land it replaces the current one
    // (meshes built, low-resolution textures made). A failure leaves the current land, its
    // edits and its history exactly as they were.
    Result open(const std::string& path, const LandSettings& settings, OpenDepth depth = OpenDepth::Editor);
    // Writes the land (see CLand::Save). On failure the land stays modified and the result
    // says why; what the copy-back of the tiles noticed is in saveNotes(). `use` says whether
    // the block textures a full save makes stay for drawing (see saveLand).
    Result save(const std::string& path, SaveKind kind, BlockTextureUse use = BlockTextureUse::Keep);
    const std::vector<SaveNote>& saveNotes() const { return m_land->saveNotes(); }

    // ---- Commands ----------------------------------------------------------------------

    // One altitude brush step.
    CommandResult brush(const BrushStep& step);
    // The newest brush step (or heightmap import) taken back / the last one taken back done
    // again. Either marks the land modified, a save in between or not.
    CommandResult undo();
    CommandResult redo();
    // Every cell of the map to one altitude (lowest byte of `level`); forgets the history.
    CommandResult levelMap(int level);
    // Removes block record `record` from the grid (the next save compacts).
    CommandResult deleteBlock(int record);
    // Paints one block's country map.
    CommandResult paint(const PaintRequest& request);
    // Country `country` on every cell.
    CommandResult setCountryEverywhere(int country);
    // A country (with its materials) from another land's exported countries.xml.
    CommandResult importCountry(const std::string& countriesXml, const std::string& id);
    // A country already chosen from an exported countries.xml (the import dialog's choice).
    CommandResult importCountry(const CountryChoice& choice);
    // An edited blend table over country `country` (its leading field kept). Every block's
    // texture blends from the table, so every block changed.
    CommandResult storeCountry(int country, const TLndCountry& edited);
    // The countries of block record `block` painted on a copy of it (the block texture
    // editor's working copy): each cell takes the copy's country bits, its altitude and other
    // flags stay as the land holds them. Refused whole when the block is not one of the land's
    // or a changed cell names a country the land lacks.
    CommandResult applyBlockCountries(int block, const TLndBlock& painted);
    // The noise map from a picture file.
    CommandResult importNoise(const std::string& path);
    // Heights from a grey picture; undone as one step. `summary` (may be null) hears how many
    // cells changed and whether the picture was resampled.
    struct HeightmapImportSummary {
        std::size_t cells = 0;
        bool resampled = false;
    };
    CommandResult importHeightmap(const GreyImage& picture, const HeightmapImportOptions& options,
                                  HeightmapImportSummary* summary = nullptr);
    // Countries from a country map (PNG, BMP or TGA with its side file, if any), as one step
    // that undo() takes back and redo() does again, whatever kind of step came before it.
    // Refused whole when the picture cannot be read, has the wrong size or names a country
    // the land lacks: then nothing changes and no step is added. The picture's failures name
    // its file.
    CommandResult importCountryMap(const std::string& picturePath);
    CommandResult importCountryMap(const CImageBase& picture, const CountryMapImportOptions& options);

    // ---- Exports (the land is not changed) -----------------------------------------------

    // The altitudes as an 8- or 16-bit grey PNG and its placement file beside it.
    Result exportHeightmap(const std::string& pngPath, int bits, HeightmapPlacement* placement = nullptr) const;
    // The cells' countries as a paletted PNG and its placement file beside it.
    Result exportCountryMap(const std::string& pngPath, HeightmapPlacement* placement = nullptr) const;
    // The land's full-detail surface as a glTF or OBJ file (the format from the extension).
    Result exportMesh(const std::string& path, const MeshExportOptions& options,
                      MeshExportSummary* summary = nullptr) const;

    // ---- For the host's mirrors --------------------------------------------------------

    // What changed since the host last asked: the edited blocks, or `everything` when the
    // whole land was replaced or rebuilt (an open, a map levelling, a country import). The
    // host drops its copies of those and asks again next frame.
    struct Changes {
        bool everything = false;
        std::vector<int> blocks;
    };
    Changes takeChanges();

private:
    CommandResult finish(Result result, std::vector<int> changed);
    CommandResult everythingChanged(Result result);

    std::unique_ptr<CTerrainMesh> m_ownMesh;
    std::unique_ptr<CLand> m_ownLand;
    CLand* m_land = nullptr;
    CTerrainMesh* m_mesh = nullptr;
    Changes m_pending;
};

}  // namespace lnd
