// make_clayvane_data [DIR]: writes Clayvane.dat (the seven menu pictures and the swatch
// altitude map) and Brushes.txt into DIR (default: the current directory), from the same
// pictures and brushes Clayvane falls back on.
#include "sculpt/brush_file.h"
#include "sculpt/menu_data.h"

#include "base/file_io.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    const std::vector<std::uint8_t> dat = clay::BuiltInMenuFile();
    const std::string_view text = clay::BuiltInBrushText();
    const std::vector<std::uint8_t> brushes(text.begin(), text.end());
    for (const auto& [name, bytes] : {std::pair{std::string("Clayvane.dat"), &dat}, std::pair{std::string("Brushes.txt"), &brushes}}) {
        const lnd::Result r = lnd::writeFileAtomic(dir + "/" + name, *bytes);
        if (!r) {
            std::fprintf(stderr, "make_clayvane_data: %s\n", r.message().c_str());
            return 1;
        }
        std::printf("%s/%s: %zu bytes\n", dir.c_str(), name.c_str(), bytes->size());
    }
    return 0;
}
