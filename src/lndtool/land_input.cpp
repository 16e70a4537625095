#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "land/land_settings.h"
#include "session/shell_words.h"
#include "textures/exports.h"
#include "textures/synthesis.h"

#include <cstdio>
#include <unistd.h>

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
                   lnd::UserMessages& messages, lnd::BlockTextureUse use) {
    const lnd::Result saved = session.save(path, kind, use);
    reportTileCopyFailures(session.land(), messages);
    for (const lnd::SaveNote& note : session.saveNotes()) messages.error(lnd::saveNoteText(note));
    if (saved) return kExitOk;
    messages.error(lnd::kSaveErrorText);
    return inputError(saved.message());
}

std::function<void(int, int)> progressOnStandardError(std::string task, std::string items) {
    const bool terminal = isatty(STDERR_FILENO) != 0;
    return [terminal, task = std::move(task), items = std::move(items), lastQuarter = 0](int done, int total) mutable {
        if (total < 64) return;   // small lands finish before progress would help
        if (terminal) {
            std::fprintf(stderr, "\r%s: %d / %d %s", task.c_str(), done, total, items.c_str());
            if (done == total) std::fputc('\n', stderr);
        } else if (const int quarter = 4 * done / total; quarter > lastQuarter) {
            lastQuarter = quarter;
            std::fprintf(stderr, "%s: %d / %d %s\n", task.c_str(), done, total, items.c_str());
        }
    };
}

std::string noiseFailureText(const lnd::Result& result, const std::string& path) {
    const std::string shown = lnd::noiseRefusalText(result, path).text;
    return shown.empty() ? result.message() : shown + " (" + result.message() + ")";
}

}  // namespace lndtool
