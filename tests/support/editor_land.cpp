#include "support/editor_land.h"

#include "session/shell_words.h"

#include <stdexcept>

namespace lndtest {

EditorLand::EditorLand() = default;

EditorLand::EditorLand(const LandBuilder& builder, State state) : EditorLand() {
    if (!land.adoptImage(builder.build())) throw std::runtime_error("test land refused");
    if (state == State::AsRead) return;
    // What a load and the device objects made after it do, without a file.
    lnd::buildTerrainGeometry(mesh, land);
    mesh.BuildAllMeshes();
    land.setLoaded(true);
}

EditorLand::EditorLand(const std::string& path) : EditorLand() {
    if (!open(path)) throw std::runtime_error("land refused: " + path);
}

lnd::Result EditorLand::load(const std::string& path) {
    lnd::Result loaded = land.Load(path, settings);
    lnd::rebuildTerrainGeometry(mesh, land);   // a refused file leaves the mesh without blocks
    if (!loaded) messages.error(lnd::openFailureText(path, loaded));
    return loaded;
}

lnd::Result EditorLand::open(const std::string& path) {
    lnd::Result opened = HeadlessLand::open(path);
    if (!opened) messages.error(lnd::openFailureText(path, opened));
    return opened;
}

lnd::Result EditorLand::save(const std::string& path, lnd::SaveKind kind) {
    lnd::Result saved = HeadlessLand::save(path, kind);
    for (const lnd::SaveNote& note : land.saveNotes()) messages.error(lnd::saveNoteText(note));
    if (!saved) messages.error(lnd::kSaveErrorText);
    return saved;
}

LandBuilder::BlockFill flat(std::uint8_t altitude, std::uint16_t flags) {
    return [=](lnd::TLndBlock& b) {
        for (auto& row : b.Cells)
            for (auto& c : row) {
                c.Altitude = altitude;
                c.CellFlags = flags;
            }
    };
}

lnd::CBrushDef ringBrush(std::array<float, 10> params) {
    lnd::CBrushDef b;
    b.name = "rings";
    b.params = params;
    return b;
}

}  // namespace lndtest
