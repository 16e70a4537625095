#include "format/lnd_report.h"


#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lnd {

LandSummary summarize(const LndView& view) {
    LandSummary s;
    const LndLayout& l = view.layout();
    s.blockRecords = l.numBlockRecords;
    s.loResTextures = l.numLoResTextures;
    s.countries = l.numCountries;
    s.materials = l.numMaterials;
    const TLndHeader& h = view.header();
    for (int gx = 0; gx < kGridSize; ++gx)
        for (int gz = 0; gz < kGridSize; ++gz) {
            if (h.BlockIndex[gx][gz] == 0) continue;
            ++s.occupiedSquares;
            if (!s.hasBlocks) {
                s.minGridX = s.maxGridX = gx;
                s.minGridZ = s.maxGridZ = gz;
                s.hasBlocks = true;
            }
            s.minGridX = std::min(s.minGridX, gx);
            s.maxGridX = std::max(s.maxGridX, gx);
            s.minGridZ = std::min(s.minGridZ, gz);
            s.maxGridZ = std::max(s.maxGridZ, gz);
        }
    return s;
}

std::vector<std::string> consistencyWarnings(const LndView& view) {
    std::vector<std::string> warnings;
    const LndLayout& l = view.layout();
    const TLndHeader& h = view.header();

    int atOrigin = 0;
    for (int b = 0; b < l.numBlockRecords; ++b) {
        const TLndBlock& blk = view.block(std::size_t(b));
        if (float(blk.MapX) == 0.0f && float(blk.MapZ) == 0.0f) ++atOrigin;
    }
    if (atOrigin > 1)
        warnings.push_back(std::to_string(atOrigin) +
                           " blocks lie at the origin (MapX = MapZ = 0); the editor refuses such a land");

    for (std::uint32_t k = 0; k < l.numLoResTextures; ++k) {
        const std::int32_t ddsSize = view.loRes(k).DdsSize;
        if (ddsSize < std::int32_t(4 + kLoResDdsHeaderSize) || ddsSize > kDdsImageSize)
            warnings.push_back("low-resolution texture " + std::to_string(k) + " has DdsSize " +
                               std::to_string(ddsSize) + " (expected " + std::to_string(kDdsImageSize) +
                               "); nothing reads it and it is kept as it is");
    }

    std::vector<int> references(std::size_t(l.numBlockRecords), 0);
    for (int gx = 0; gx < kGridSize; ++gx)
        for (int gz = 0; gz < kGridSize; ++gz) {
            const int n = h.BlockIndex[gx][gz];
            if (n == 0) continue;
            ++references[std::size_t(n - 1)];
            const TLndBlock& blk = view.block(std::size_t(n - 1));
            const std::string where = "block " + std::to_string(n) + " at square (" + std::to_string(gx) +
                                      "," + std::to_string(gz) + ")";
            if (float(blk.MapX) != 160.0f * float(gx) || float(blk.MapZ) != 160.0f * float(gz)) {
                char buf[160];
                std::snprintf(buf, sizeof buf, " has MapX/MapZ %g,%g instead of %d,%d", double(float(blk.MapX)),
                              double(float(blk.MapZ)), 160 * gx, 160 * gz);
                warnings.push_back(where + buf);
            }
            if (blk.GridX != gx || blk.GridZ != gz)
                warnings.push_back(where + " has GridX/GridZ " + std::to_string(blk.GridX) + "," +
                                   std::to_string(blk.GridZ));
        }
    for (int b = 0; b < l.numBlockRecords; ++b) {
        if (references[std::size_t(b)] > 1)
            warnings.push_back("block " + std::to_string(b + 1) + " is named by " +
                               std::to_string(references[std::size_t(b)]) + " squares");
        if (references[std::size_t(b)] == 0)
            warnings.push_back("block " + std::to_string(b + 1) +
                               " is named by no square; a compacting save drops it");
    }

    for (int b = 0; b < l.numBlockRecords; ++b) {
        const TLndBlock& blk = view.block(std::size_t(b));
        int bad = 0;
        for (const auto& row : blk.Cells)
            for (const TLndCell& c : row)
                if (c.countryIndex() >= l.numCountries) ++bad;
        if (bad)
            warnings.push_back("block " + std::to_string(b + 1) + " has " + std::to_string(bad) +
                               " cells whose country index is not below NumCountries (" +
                               std::to_string(l.numCountries) + ")");
    }

    for (int c = 0; c < l.numCountries; ++c) {
        const TLndCountry& country = view.country(std::size_t(c));
        int bad = 0;
        for (const TLndCoef& e : country.Coefs)
            if (e.mat1 < 0 || e.mat1 >= l.numMaterials || e.mat2 < 0 || e.mat2 >= l.numMaterials ||
                e.coef < 0 || e.coef > 255)
                ++bad;
        if (bad)
            warnings.push_back("country " + std::to_string(c) + " has " + std::to_string(bad) +
                               " blend entries with a material outside the table or a weight outside 0..255");
    }

    if (l.trailingBytes)
        warnings.push_back(std::to_string(l.trailingBytes) + " bytes follow the bump map and are ignored");
    return warnings;
}

std::vector<std::uint8_t> dumpBigMap(const LndView& view, DumpChoice choice) {
    std::vector<std::uint8_t> map(kBigMapSize, 0);
    for (int b = 0; b < view.blockCount(); ++b) dumpBlockIntoBigMap(view.block(std::size_t(b)), choice, map.data());
    return map;
}

}  // namespace lnd
