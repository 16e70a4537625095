#include "lndtool/land_input.h"

#include "base/file_io.h"

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

}  // namespace lndtool
