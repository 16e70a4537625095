// The editor's Load path on any bytes, as the shell opens a file (load, geometry, device
// textures and meshes), then a quick save of what was accepted.
#include "format/lnd_file.h"
#include "support/fuzz_support.h"
#include "view/terrain_land.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lnd::HeadlessLand held;
    const std::string& path = lndfuzz::writeScratch("land-load.lnd", data, size);
    if (!held.open(path)) return 0;
    if (!held.save(lndfuzz::scratchPath("land-saved.lnd"), lnd::SaveKind::Quick)) std::abort();
    return 0;
}
