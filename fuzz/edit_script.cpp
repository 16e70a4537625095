// The `lndtool edit` command language on any text: the parse, and every parsed command's
// fields within the ranges the runner relies on.
#include "lndtool/edit_script.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<lndtool::EditCommand> commands;
    lndtool::ScriptError error;
    if (lndtool::parseEditScript(text, commands, error)) {
        for (const lndtool::EditCommand& c : commands)
            if (c.line < 1) std::abort();
    } else if (error.line < 0 || error.message.empty()) {
        std::abort();
    }
    return 0;
}
