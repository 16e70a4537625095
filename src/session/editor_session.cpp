#include "session/editor_session.h"

#include "base/messages.h"
#include "countries/country_import.h"
#include "countries/country_table.h"
#include "textures/exports.h"
#include "tools/block_deletion.h"
#include "tools/texture_edit.h"
#include "view/terrain_land.h"

#include <algorithm>
#include <utility>

namespace lnd {

namespace {

Result noLand() { return Result::failure(Status::NotPossible, "no land is open"); }

std::vector<int> allBlocks(const CLand& land) {
    std::vector<int> all(std::size_t(std::max(land.numBlocks(), 0)));
    for (std::size_t b = 0; b < all.size(); ++b) all[b] = int(b);
    return all;
}

}  // namespace

EditorSession::EditorSession()
    : m_ownMesh(std::make_unique<CTerrainMesh>()), m_ownLand(std::make_unique<CLand>()),
      m_land(m_ownLand.get()), m_mesh(m_ownMesh.get()) {}

EditorSession::EditorSession(CLand& land, CTerrainMesh& mesh) : m_land(&land), m_mesh(&mesh) {}

EditorSession::~EditorSession() = default;

CommandResult EditorSession::finish(Result result, std::vector<int> changed) {
    CommandResult out;
    out.result = std::move(result);
    if (!out.result) return out;
    std::erase_if(changed, [&](int b) { return b < 0 || b >= m_land->numBlocks(); });
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    m_pending.blocks.insert(m_pending.blocks.end(), changed.begin(), changed.end());
    out.changedBlocks = std::move(changed);
    return out;
}

CommandResult EditorSession::everythingChanged(Result result) {
    if (result) m_pending.everything = true;
    return finish(std::move(result), allBlocks(*m_land));
}

EditorSession::Changes EditorSession::takeChanges() {
    Changes out = std::move(m_pending);
    m_pending = {};
    std::sort(out.blocks.begin(), out.blocks.end());
    out.blocks.erase(std::unique(out.blocks.begin(), out.blocks.end()), out.blocks.end());
    return out;
}

Result EditorSession::open(const std::string& path, const LandSettings& settings, OpenDepth depth) {
    std::vector<std::uint8_t> image;
    if (depth == OpenDepth::AsRead) {
        // The bytes as they are, for the verbs that read or rewrite the file's own cells.
        if (Result read = readWholeFile(path, image); !read) return read;
        LndView check;
        if (LndCheck checked = check.open(image); !checked)
            return Result::badInputAt(checked.offset, path + ": " + checked.message);
        m_land->adoptImage(std::move(image));   // checked the same way: cannot fail
        m_land->setPath(path);
        m_pending = {};
        m_pending.everything = true;
        return Result::success();
    }
    if (Result read = CLand::readLandFile(path, image); !read) return read;
    m_land->takeLoaded(std::move(image), path, settings);
    rebuildTerrainGeometry(*m_mesh, *m_land);
    if (depth == OpenDepth::Editor) recreateDeviceObjects(*m_mesh, *m_land);
    m_pending = {};
    m_pending.everything = true;
    return Result::success();
}

Result EditorSession::save(const std::string& path, SaveKind kind, BlockTextureUse use) {
    return saveLand(*m_mesh, *m_land, path, kind, use);
}

CommandResult EditorSession::brush(const BrushStep& step) {
    if (!loaded()) return finish(noLand(), {});
    if (step.mode != kBrushRaise && step.mode != kBrushLower && step.mode != kBrushLevel && step.mode != kBrushSmooth)
        return finish(Result::failure(Status::BadInput, "unknown brush mode " + std::to_string(step.mode)), {});
    if (step.block < 0 || step.block >= std::min(m_land->numBlocks(), m_mesh->blockCount()))
        return finish(Result::failure(Status::NotPossible, "no block under the brush"), {});
    if (step.mode != kBrushLevel && step.brush == nullptr)
        return finish(Result::failure(Status::BadInput, "a raise, lower or smooth step needs a brush"), {});
    return finish(Result::success(), ApplyBrush(*m_land, *m_mesh, step));
}

CommandResult EditorSession::undo() {
    std::vector<int> touched;
    if (!loaded() || !UndoStroke(*m_land, *m_mesh, &touched))
        return finish(Result::failure(Status::NotPossible, "there is no brush step to undo"), {});
    return finish(Result::success(), std::move(touched));
}

CommandResult EditorSession::redo() {
    std::vector<int> touched;
    if (!loaded() || !RedoStroke(*m_land, *m_mesh, &touched))
        return finish(Result::failure(Status::NotPossible, "there is no undone brush step to redo"), {});
    return finish(Result::success(), std::move(touched));
}

CommandResult EditorSession::levelMap(int level) {
    if (!loaded()) return finish(noLand(), {});
    lnd::levelMap(*m_mesh, *m_land, level);
    return everythingChanged(Result::success());
}

CommandResult EditorSession::deleteBlock(int record) {
    if (!loaded()) return finish(noLand(), {});
    return finish(DeleteBlock(*m_land, *m_mesh, record), {record});
}

CommandResult EditorSession::paint(const PaintRequest& request) {
    if (!loaded()) return finish(noLand(), {});
    CLand& land = *m_land;
    if (request.block < 0 || request.block >= land.numBlocks())
        return finish(Result::failure(Status::BadInput, "the land has no block " + std::to_string(request.block + 1) +
                                                            " (it has " + std::to_string(land.numBlocks()) + ")"),
                      {});
    if (request.country < 0 || request.country >= land.numCountries())
        return finish(Result::failure(Status::BadInput, "the land has no country " + std::to_string(request.country) +
                                                            " (it has " + std::to_string(land.numCountries()) + ")"),
                      {});
    CTextureEdit editor;
    editor.LoadBlock(land, request.block);
    editor.setBrushSize(request.size);
    editor.setCountry(request.country);
    editor.PaintAt(request.x, request.y);
    if (!editor.ApplyToBlock()) return finish(Result::failure(Status::NotPossible, "the block cannot be painted"), {});
    land.markModified();
    const int changed[] = {request.block};
    land.blocksEdited(changed);
    return finish(Result::success(), {request.block});
}

CommandResult EditorSession::setCountryEverywhere(int country) {
    if (!loaded()) return finish(noLand(), {});
    if (Result r = lnd::setCountryEverywhere(*m_land, country); !r) return finish(r, {});
    return everythingChanged(Result::success());
}

CommandResult EditorSession::importCountry(const std::string& countriesXml, const std::string& id) {
    if (!loaded()) return finish(noLand(), {});
    if (Result r = ImportCountryFromFile(*m_land, countriesXml, id); !r) return finish(r, {});
    return everythingChanged(Result::success());
}

CommandResult EditorSession::importCountry(const CountryChoice& choice) {
    if (!loaded()) return finish(noLand(), {});
    if (Result r = ImportCountry(*m_land, choice); !r) return finish(r, {});
    return everythingChanged(Result::success());
}

CommandResult EditorSession::storeCountry(int country, const TLndCountry& edited) {
    if (!loaded()) return finish(noLand(), {});
    if (Result r = lnd::storeCountry(*m_land, country, edited); !r) return finish(r, {});
    return everythingChanged(Result::success());
}

CommandResult EditorSession::applyBlockCountries(int block, const TLndBlock& painted) {
    if (!loaded()) return finish(noLand(), {});
    CLand& land = *m_land;
    if (block < 0 || block >= land.numBlocks())
        return finish(Result::failure(Status::BadInput, "the land has no block " + std::to_string(block + 1) +
                                                            " (it has " + std::to_string(land.numBlocks()) + ")"),
                      {});
    TLndBlock& record = land.blocks()[std::size_t(block)];
    // Checked before anything is written, so a refusal leaves the block as it was.
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j) {
            const int country = painted.Cells[i][j].countryIndex();
            if (country != record.Cells[i][j].countryIndex() && country >= land.numCountries())
                return finish(Result::failure(Status::BadInput, "the land has no country " + std::to_string(country) +
                                                                    " (it has " +
                                                                    std::to_string(land.numCountries()) + ")"),
                              {});
        }
    for (int i = 0; i < kCellsPerSide; ++i)
        for (int j = 0; j < kCellsPerSide; ++j) {
            TLndCell& cell = record.Cells[i][j];
            cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) |
                                           (painted.Cells[i][j].CellFlags & kCountryMask));
        }
    land.markModified();
    const int changed[] = {block};
    land.blocksEdited(changed);   // its texture is synthesised again from the new countries
    return finish(Result::success(), {block});
}

CommandResult EditorSession::importNoise(const std::string& path) {
    if (!m_land->hasImage()) return finish(noLand(), {});
    if (Result r = ImportNoiseMap(*m_land, path); !r) return finish(r, {});
    return everythingChanged(Result::success());
}

CommandResult EditorSession::importHeightmap(const GreyImage& picture, const HeightmapImportOptions& options,
                                             HeightmapImportSummary* summary) {
    if (!m_land->hasImage()) return finish(noLand(), {});
    HeightmapEdit edit = ApplyHeightmap(*m_land, *m_mesh, picture, options);
    if (!edit.result) return finish(edit.result, {});
    if (summary != nullptr) *summary = {edit.before.size(), edit.resampled};
    if (!edit.changedBlocks.empty()) {
        // One import is one step of the history.
        BrushStroke step;
        step.cells = std::move(edit.before);
        m_land->history().record(std::move(step));
    }
    return finish(Result::success(), std::move(edit.changedBlocks));
}

// The imports and exports below need the cells only, so a land opened as read serves too.
CommandResult EditorSession::importCountryMap(const std::string& picturePath) {
    if (!m_land->hasImage()) return finish(noLand(), {});
    std::unique_ptr<CImageBase> picture;
    CountryMapImportOptions options;
    if (Result r = readCountryMapFiles(*m_land, picturePath, true, picture, options); !r) return finish(r, {});
    CommandResult out = importCountryMap(*picture, options);
    out.result = out.result.within(picturePath);
    return out;
}

CommandResult EditorSession::importCountryMap(const CImageBase& picture, const CountryMapImportOptions& options) {
    if (!m_land->hasImage()) return finish(noLand(), {});
    CountryMapEdit edit;
    if (Result r = planCountryMapImport(*m_land, picture, options, edit); !r) return finish(r, {});
    if (!edit.cells.empty()) {
        applyCountryMapEdit(*m_land, edit);
        // One import is one step of the history, next to the brush steps.
        BrushStroke step;
        step.countries = true;
        step.cells = std::move(edit.cells);
        m_land->history().record(std::move(step));
    }
    return finish(Result::success(), std::move(edit.changedBlocks));
}

Result EditorSession::exportHeightmap(const std::string& pngPath, int bits, HeightmapPlacement* placement) const {
    if (!m_land->hasImage()) return noLand();
    return writeHeightmapFiles(*m_land, pngPath, bits, placement);
}

Result EditorSession::exportCountryMap(const std::string& pngPath, HeightmapPlacement* placement) const {
    if (!m_land->hasImage()) return noLand();
    return writeCountryMapFiles(*m_land, pngPath, placement);
}

Result EditorSession::exportMesh(const std::string& path, const MeshExportOptions& options,
                                 MeshExportSummary* summary) const {
    if (!m_land->hasImage()) return noLand();
    return exportLandMesh(*m_land, path, options, summary);
}

}  // namespace lnd
