// The bytes the editor's road writes, pinned: generated lands (several seeds and sizes,
// deleted blocks, imported countries, low-resolution tiles) resaved full and quick and run
// through edit scripts must keep giving exactly the files they gave when this table was
// taken. A digest that moves means a user's saved land changed.
//
// Set LND_PRINT_GOLDEN=1 to print the table the current build produces.
#include "format/lnd_file.h"
#include "support/land_builder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

using lndtest::LandBuilder;
using lndtest::ProgramResult;
using lndtest::readBytes;
using lndtest::TempDir;

namespace {

std::uint64_t fnv1a64(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

struct Land {
    std::string name;
    std::string path;
    int gx = 0, gz = 0;        // square of the first block
    int countries = 1;
};

Land sampleLand(const TempDir& dir, const std::string& name, const std::string& size, const std::string& seed) {
    Land land{name, dir.file(name + ".lnd")};
    const ProgramResult r = lndtest::runLndtool({"new", "-o", land.path, "--size", size, "--seed", seed});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return land;
}

void locate(Land& land) {
    const std::vector<std::uint8_t> bytes = readBytes(land.path);
    lnd::LndView view;
    ASSERT_TRUE(view.open(bytes)) << land.name;
    land.countries = int(view.header().NumCountries);
    for (int gx = 0; gx < lnd::kGridSize; ++gx)
        for (int gz = 0; gz < lnd::kGridSize; ++gz)
            if (view.header().BlockIndex[gx][gz] == 1) {
                land.gx = gx;
                land.gz = gz;
            }
}

}  // namespace

TEST(LndtoolGolden, ResaveAndEditScriptsWriteTheSameBytesAsBefore) {
    TempDir dir;
    std::ofstream(dir.file("s.xml")) << "<settings><landEdit><brushes>"
                                        "<brush bmp=\"x.bmp\" name=\"Hill\" tip=\"t\">6 5 4 3 2 1 1 1 1 1</brush>"
                                        "<brush bmp=\"y.bmp\" name=\"Even\" tip=\"t\">2 2 2 2 2 2 2 2 2 2</brush>"
                                        "</brushes></landEdit></settings>";
    std::vector<Land> lands;
    lands.push_back(sampleLand(dir, "s4x7", "4", "7"));
    lands.push_back(sampleLand(dir, "s6x3", "6", "3"));
    lands.push_back(sampleLand(dir, "s2x11", "2", "11"));
    {
        Land built{"built", dir.file("built.lnd")};
        LandBuilder().block(5, 5).block(5, 6).block(6, 5).block(9, 9).countries(2).materials(3).loResTextures(4).writeTo(
            built.path);
        lands.push_back(built);
    }
    // A country file exported from another land, for the import scripts.
    ASSERT_EQ(lndtest::runLndtool({"export", lands[2].path, "--root", dir.file("exp")}).exitCode, 0);
    const std::string countriesXml = dir.file("exp/s2x11/materials/countries.xml");
    ASSERT_TRUE(std::filesystem::exists(countriesXml));

    std::map<std::string, std::uint64_t> got;
    for (Land& land : lands) {
        locate(land);
        const int x = land.gx * 160 + 80, z = land.gz * 160 + 80;
        const std::string at = std::to_string(x) + "," + std::to_string(z);
        const std::string edge = std::to_string(x + 75) + "," + std::to_string(z + 75);
        const std::string lastCountry = std::to_string(land.countries - 1);
        const std::map<std::string, std::string> scripts = {
            {"brushes", "brush Hill " + at + " raise 2 60 0\nbrush Even " + edge + " lower\nbrush Hill " + at +
                            " smooth 3 40 0\nundo\nredo\nbrush Hill " + at + " level 1 50 120\n"},
            {"paint", "paint 1 10,10 16 " + lastCountry + "\npaint 1 200,40 32 0\n"},
            {"delete", "brush Hill " + edge + " raise 4 90 0\ndelete-block " + std::to_string(land.gx) + "," +
                           std::to_string(land.gz) + "\n"},
            {"import", "import-country " + countriesXml + " 1\nset-country " + std::to_string(land.countries) + "\n"},
            {"level", "brush Hill " + at + " raise\nlevel-map 40\n"},
        };
        const auto record = [&](const std::string& key, const ProgramResult& r, const std::string& out) {
            ASSERT_EQ(r.exitCode, 0) << key << ": " << r.err;
            got[key] = fnv1a64(readBytes(out));
        };
        const std::string out = dir.file("out.lnd");
        record(land.name + " resave", lndtest::runLndtool({"resave", land.path, "-o", out}), out);
        record(land.name + " resave-quick", lndtest::runLndtool({"resave", land.path, "--quick", "-o", out}), out);
        for (const auto& [name, script] : scripts) {
            // Every land runs every script, s2x11 importing a country of its own export too.
            record(land.name + " edit-" + name,
                   lndtest::runLndtool({"edit", land.path, "-o", out, "--settings", dir.file("s.xml")}, script), out);
            record(land.name + " edit-" + name + "-quick",
                   lndtest::runLndtool({"edit", land.path, "-o", out, "--quick", "--settings", dir.file("s.xml")}, script),
                   out);
        }
    }

    if (std::getenv("LND_PRINT_GOLDEN") != nullptr) {
        for (const auto& [key, digest] : got) std::printf("        {\"%s\", 0x%016llxull},\n", key.c_str(), (unsigned long long)digest);
    }
    const std::map<std::string, std::uint64_t> golden = {
        {"built edit-brushes", 0x4e268e3f2c73c40aull},
        {"built edit-brushes-quick", 0x2276dd3f29242d38ull},
        {"built edit-delete", 0x45548392db657c37ull},
        {"built edit-delete-quick", 0x573d426b7c58313aull},
        {"built edit-import", 0x625a2326ca00b35cull},
        {"built edit-import-quick", 0xd3a5764661c07c37ull},
        {"built edit-level", 0x1913707deabcfec7ull},
        {"built edit-level-quick", 0x4471261cf175fb00ull},
        {"built edit-paint", 0xa6b4b778f7a1b23bull},
        {"built edit-paint-quick", 0xa3b9343a3645b577ull},
        {"built resave", 0x52574cc485cf8a0eull},
        {"built resave-quick", 0x4f53c2e2de462fdbull},
        {"s2x11 edit-brushes", 0xffa850230e9fbf36ull},
        {"s2x11 edit-brushes-quick", 0xb7e7c3d851616aa5ull},
        {"s2x11 edit-delete", 0xcd1693692af31829ull},
        {"s2x11 edit-delete-quick", 0xfe35eeafd3218607ull},
        {"s2x11 edit-import", 0x6686285203e57415ull},
        {"s2x11 edit-import-quick", 0x4c889e5682449c09ull},
        {"s2x11 edit-level", 0xe92b5cff32043820ull},
        {"s2x11 edit-level-quick", 0x09b4a21a2a5b4db6ull},
        {"s2x11 edit-paint", 0xe3ff71ed622ed7beull},
        {"s2x11 edit-paint-quick", 0x0688881357256797ull},
        {"s2x11 resave", 0xa0b022eeb035ae2cull},
        {"s2x11 resave-quick", 0xa0b022eeb035ae2cull},
        {"s4x7 edit-brushes", 0xbf0732637f99e0dcull},
        {"s4x7 edit-brushes-quick", 0x0ada29659dcc176bull},
        {"s4x7 edit-delete", 0x911e4578939a7caeull},
        {"s4x7 edit-delete-quick", 0xeda6d67eb427cd91ull},
        {"s4x7 edit-import", 0x520e2753cf0e2239ull},
        {"s4x7 edit-import-quick", 0xe60f52e1f96c815full},
        {"s4x7 edit-level", 0xa377bc8ed8d9e93bull},
        {"s4x7 edit-level-quick", 0x26834d0b24c44285ull},
        {"s4x7 edit-paint", 0xd467a9a4956fe313ull},
        {"s4x7 edit-paint-quick", 0xd467a9a4956fe313ull},
        {"s4x7 resave", 0x2f1d4241ea981a05ull},
        {"s4x7 resave-quick", 0x2f1d4241ea981a05ull},
        {"s6x3 edit-brushes", 0x37ec1e4c7cad00a2ull},
        {"s6x3 edit-brushes-quick", 0x030a7dbb7cfcb5f6ull},
        {"s6x3 edit-delete", 0x403c69e616c72b1full},
        {"s6x3 edit-delete-quick", 0xf9dd78114df67d1aull},
        {"s6x3 edit-import", 0x316c68607168cddbull},
        {"s6x3 edit-import-quick", 0xfb273852d2f9f22cull},
        {"s6x3 edit-level", 0xf8975dc9e162833eull},
        {"s6x3 edit-level-quick", 0x008e383ea5a08033ull},
        {"s6x3 edit-paint", 0xa7eb857eae7580d8ull},
        {"s6x3 edit-paint-quick", 0xa7eb857eae7580d8ull},
        {"s6x3 resave", 0x07769b0cdafaa076ull},
        {"s6x3 resave-quick", 0x07769b0cdafaa076ull},
    };
    EXPECT_EQ(got.size(), golden.size());
    for (const auto& [key, digest] : golden) {
        ASSERT_TRUE(got.count(key)) << key;
        EXPECT_EQ(got[key], digest) << key;
    }
}
