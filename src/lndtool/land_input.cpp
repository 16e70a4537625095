#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "land/land_settings.h"
#include "session/shell_words.h"
#include "textures/synthesis.h"

namespace lndtool {

int LandInput::open(const std::string& path) {
    m_path = path;
    if (lnd::Result r = lnd::readWholeFile(path, m_bytes); !r) return inputError(r.message());
    if (lnd::LndCheck check = m_view.open(m_bytes); !check)
        return inputError(path + ": not a valid land file: " + check.message);
    return kExitOk;
}

int openSettings(const Args& args, lnd::UserMessages& messages, std::unique_ptr<lnd::CSettings>& out) {
    if (!args.has("settings")) return kExitOk;
    out = std::make_unique<lnd::CSettings>(messages, args.get("settings"));
    if (!out->fileLoaded()) return inputError(args.get("settings") + ": settings file not read");
    return kExitOk;
}

int openEditorLand(const std::string& path, lnd::EditorSession& session, lnd::CSettings* settings,
                   lnd::UserMessages& messages, lnd::OpenDepth depth) {
    const lnd::Result opened =
        session.open(path, settings != nullptr ? lnd::landSettingsFrom(*settings) : lnd::LandSettings{}, depth);
    reportTileCopyFailures(session.land(), messages);
    if (opened) return kExitOk;
    if (depth != lnd::OpenDepth::AsRead) messages.error(lnd::openFailureText(path, opened));
    return inputError(opened.message());
}

void reportTileCopyFailures(lnd::CLand& land, lnd::UserMessages& messages) {
    for (int n = land.takeTileCopyFailures(); n > 0; --n) messages.error(lnd::kTileCopyFailedText);
}

int saveEditorLand(const std::string& path, lnd::SaveKind kind, lnd::EditorSession& session,
                   lnd::UserMessages& messages) {
    const lnd::Result saved = session.save(path, kind);
    reportTileCopyFailures(session.land(), messages);
    for (const lnd::SaveNote& note : session.saveNotes()) messages.error(lnd::saveNoteText(note));
    if (saved) return kExitOk;
    messages.error(lnd::kSaveErrorText);
    return inputError(saved.message());
}

}  // namespace lndtool
