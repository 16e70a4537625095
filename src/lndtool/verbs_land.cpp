// lndtool verbs that read a land without the editor: info, dump, validate.
#include "lndtool/cli.h"
#include "lndtool/land_input.h"

#include "base/file_io.h"
#include "format/lnd_report.h"

#include <cstdio>

namespace lndtool {

namespace {

int runInfo(const Args& args) {
    LandInput land;
    if (int rc = land.open(args.positional[0]); rc != kExitOk) return rc;
    const lnd::LandSummary s = lnd::summarize(land.view());
    const lnd::TLndHeader& h = land.view().header();
    if (args.has("json")) {
        std::printf("{\"path\":%s,\"size\":%zu,\"numBlocks\":%d,\"blockRecords\":%d,\"occupiedSquares\":%d,",
                    jsonString(land.path()).c_str(), land.bytes().size(), std::int32_t(h.NumBlocks),
                    s.blockRecords, s.occupiedSquares);
        if (s.hasBlocks)
            std::printf("\"gridBounds\":{\"minX\":%d,\"maxX\":%d,\"minZ\":%d,\"maxZ\":%d},", s.minGridX,
                        s.maxGridX, s.minGridZ, s.maxGridZ);
        else
            std::printf("\"gridBounds\":null,");
        std::printf("\"loResTextures\":%u,\"countries\":%d,\"materials\":%d,\"blockSize\":%d,"
                    "\"materialSize\":%d,\"countrySize\":%d}\n",
                    s.loResTextures, s.countries, s.materials, std::int32_t(h.BlockSize),
                    std::int32_t(h.MaterialSize), std::int32_t(h.CountrySize));
        return kExitOk;
    }
    std::printf("Land: %s (%zu bytes)\n", land.path().c_str(), land.bytes().size());
    std::printf("Blocks: %d records, %d squares occupied\n", s.blockRecords, s.occupiedSquares);
    if (s.hasBlocks)
        std::printf("Grid bounds: x %d..%d, z %d..%d\n", s.minGridX, s.maxGridX, s.minGridZ, s.maxGridZ);
    else
        std::printf("Grid bounds: none (no block on the grid)\n");
    std::printf("Low-resolution textures: %u\n", s.loResTextures);
    std::printf("Countries: %d\n", s.countries);
    std::printf("Materials: %d\n", s.materials);
    std::printf("Header sizes: BlockSize %d, MaterialSize %d, CountrySize %d\n", std::int32_t(h.BlockSize),
                std::int32_t(h.MaterialSize), std::int32_t(h.CountrySize));
    return kExitOk;
}

int runDump(const Args& args) {
    const Verb& verb = verbNamed("dump");
    const std::string data = args.get("data");
    lnd::DumpChoice choice;
    if (data == "altitude") choice = lnd::DumpChoice::Altitude;
    else if (data == "country") choice = lnd::DumpChoice::Country;
    else if (data == "split") choice = lnd::DumpChoice::Split;
    else return usageError(verb, "--data must be altitude, country or split");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.raw");
    LandInput land;
    if (int rc = land.open(args.positional[0]); rc != kExitOk) return rc;
    const std::vector<std::uint8_t> map = lnd::dumpBigMap(land.view(), choice);
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), map); !r) return inputError(r.message());
    return kExitOk;
}

int runValidate(const Args& args) {
    const std::string path = args.positional[0];
    std::vector<std::uint8_t> bytes;
    if (lnd::Result r = lnd::readWholeFile(path, bytes); !r) return inputError(r.message());
    lnd::LndView view;
    if (lnd::LndCheck check = view.open(bytes); !check) {
        std::fprintf(stderr, "%s: invalid: %s\n", path.c_str(), check.message.c_str());
        return kExitBadInput;
    }
    const std::vector<std::string> warnings = lnd::consistencyWarnings(view);
    for (const std::string& w : warnings) std::printf("%s: warning: %s\n", path.c_str(), w.c_str());
    std::printf("%s: ok (%zu warning%s)\n", path.c_str(), warnings.size(), warnings.size() == 1 ? "" : "s");
    return kExitOk;
}

const VerbRegistrar kInfo({"info", "info LAND [--json]", "print the header counts, blocks and grid bounds",
                           {{"json", false}}, 1, 1, runInfo});
const VerbRegistrar kDump({"dump", "dump LAND --data altitude|country|split -o OUT.raw",
                           "write one kind of cell data of every block as a 512 x 512 raw image",
                           {{"data", true}, {"o", true}}, 1, 1, runDump});
const VerbRegistrar kValidate({"validate", "validate LAND",
                               "check a land file; exit 0 when sound, 1 with the reasons otherwise", {}, 1, 1,
                               runValidate});

}  // namespace

}  // namespace lndtool
