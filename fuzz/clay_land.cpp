// Clayvane's land loader on any bytes: the check, adoption and the image it would write back
// (which the check must accept again).
#include "sculpt/lndprocess.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    clay::CLandFile land;
    std::string problem;
    if (!land.AdoptImage(std::vector<std::uint8_t>(data, data + size), problem)) return 0;
    unsigned sum = 0;
    for (int r = 0; r < land.BlockRecords(); ++r) sum += land.BlockRecord(r).Cells[16][16].Altitude;
    (void)sum;
    const std::vector<std::uint8_t> bytes = land.FileBytes();
    clay::SLandLayout layout;
    if (!clay::CheckLandImage(bytes, layout).empty()) std::abort();
    return 0;
}
