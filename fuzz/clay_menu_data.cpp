// Clayvane.dat on any bytes: every picture and the swatch map come out whole.
#include "sculpt/menu_data.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    clay::SMenuData menu;
    clay::ParseMenuData({data, size}, menu);
    for (const auto& picture : menu.pictures)
        if (picture.size() != std::size_t(clay::kMenuPictureSide) * clay::kMenuPictureSide * 4) std::abort();
    if (menu.swatchAltitude.size() != 256u * 256u) std::abort();
    return 0;
}
