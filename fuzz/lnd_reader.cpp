// The land reader on any bytes: the check, every view accessor, and both writers on what it
// accepted (whose output must be accepted again).
#include "format/lnd_file.h"
#include "land/lores_record.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lnd;
    // A copy of exactly the input's size, so any read past the end is caught.
    std::vector<std::uint8_t> image(data, data + size);
    LndView view;
    if (!view.open(image)) return 0;
    unsigned sum = 0;
    for (int b = 0; b < view.blockCount(); ++b) {
        const TLndBlock& block = view.block(std::size_t(b));
        sum += block.Cells[16][16].Altitude + unsigned(block.LoResTexture);
    }
    for (std::uint32_t k = 0; k < view.layout().numLoResTextures; ++k) {
        const std::vector<std::uint8_t> dds = loResRecordDds(view.loRes(k));
        sum += dds[dds.size() - 1];
    }
    for (int c = 0; c < view.layout().numCountries; ++c) sum += unsigned(view.country(std::size_t(c)).Index);
    for (int m = 0; m < view.layout().numMaterials; ++m) sum += view.material(std::size_t(m)).Texels[255][255];
    sum += view.noiseMap().Values[255][255] + view.bumpMap().Values[0][0];
    (void)sum;

    // The writers keep every byte they do not own (DdsSize included), so what they write must
    // pass the same checks the input passed.
    LndLayout inputLayout;
    const ImageCheck level = checkImage(image, inputLayout, ImageCheck::Full) ? ImageCheck::Full : ImageCheck::Structure;
    const LndParts parts = partsOf(view);
    for (const std::vector<std::uint8_t>& written : {writePlain(parts), writeCompacting(parts)}) {
        LndLayout layout;
        if (!checkImage(written, layout, level)) std::abort();
    }
    return 0;
}
