#include "lndtool/land_input.h"

#include "base/file_io.h"

namespace lndtool {

int LandInput::open(const std::string& path) {
    m_path = path;
    if (lnd::IoResult r = lnd::readWholeFile(path, m_bytes); !r) return inputError(r.message);
    if (lnd::LndCheck check = m_view.open(m_bytes); !check)
        return inputError(path + ": not a valid land file: " + check.message);
    return kExitOk;
}

}  // namespace lndtool
