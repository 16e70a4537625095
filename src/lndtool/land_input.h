// Reading a land file for a verb: the bytes, the checked view, and the error report.
#pragma once

#include "format/lnd_file.h"
#include "lndtool/cli.h"
#include "base/messages.h"
#include "base/settings.h"
#include "session/editor_session.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lndtool {

class LandInput {
public:
    // Reads and checks the file; returns kExitOk, or kExitBadInput after reporting why.
    int open(const std::string& path);
    const std::string& path() const { return m_path; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    const lnd::LndView& view() const { return m_view; }

private:
    std::string m_path;
    std::vector<std::uint8_t> m_bytes;
    lnd::LndView m_view;
};

// The settings named by --settings, or none. Returns kExitOk, or kExitBadInput when the file
// was named but could not be read.
int openSettings(const Args& args, lnd::UserMessages& messages, std::unique_ptr<lnd::CSettings>& out);

// The one road by which a verb opens a land as the editor holds it: `settings` (may be null)
// gives the sea parameters, the debug switches and the export settings, `messages` hears
// what the shells report, and the file is opened into the session as deep as `depth` says. kExitOk, or
// kExitBadInput after the reason (and, for an editor's open, the editor's text) was reported.
int openEditorLand(const std::string& path, lnd::EditorSession& session, lnd::CSettings* settings,
                   lnd::UserMessages& messages, lnd::OpenDepth depth = lnd::OpenDepth::Editor);

// One error per tile the device could not copy since the last report.
void reportTileCopyFailures(lnd::CLand& land, lnd::UserMessages& messages);

// Saves the session's land; the notes of the save go to `messages`. kExitOk, or
// kExitBadInput after the editor's text and the reason were reported.
int saveEditorLand(const std::string& path, lnd::SaveKind kind, lnd::EditorSession& session,
                   lnd::UserMessages& messages, lnd::BlockTextureUse use = lnd::BlockTextureUse::Keep);

// Progress of a long task on standard error ("TASK: done / total ITEMS"), for lands large
// enough to wait for: a counter on a terminal, a line each quarter otherwise.
std::function<void(int done, int total)> progressOnStandardError(std::string task, std::string items);

// A refused noise import in the editor's words, then why (the reason alone when the editor
// has no words for it).
std::string noiseFailureText(const lnd::Result& result, const std::string& path);

}  // namespace lndtool
