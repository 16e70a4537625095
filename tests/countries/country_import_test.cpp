#include "countries/country_import.h"
#include "countries/country_table.h"
#include "codec/bmp_writer.h"
#include "land/land.h"
#include "support/land_builder.h"
#include "support/recording_messages.h"
#include "tools/texture_edit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

using namespace lnd;

namespace {

// A land of `blocks` blocks, `countries` countries and `materials` materials, held in memory.
struct HeldLand {
    CLand land;
    RecordingMessages messages;
    HeldLand(int countries, int materials, int blocks = 2) {
        lndtest::LandBuilder b;
        for (int k = 0; k < blocks; ++k) b.block(10 + k, 12);
        b.countries(countries).materials(materials);
        EXPECT_TRUE(land.adoptImage(b.build()));
    }
};

std::vector<std::uint8_t> imageBytes(const CLand& land) {
    return {land.fileImage().begin(), land.fileImage().end()};
}

CImage32 solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    CImage32 image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.pixel(x, y);
            p[0] = 255, p[1] = r, p[2] = g, p[3] = std::uint8_t(b + (x < w / 2 ? 0 : 8));
        }
    return image;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) { lndtest::writeBytes(path, bytes); }

// A country file of one country "c" whose coefs name the given materials in order.
std::string countryXml(const std::string& id, const std::vector<std::string>& mats) {
    std::string text = "<countries><country id=\"" + id + "\">";
    for (std::size_t h = 0; h + 1 < mats.size() + 1; ++h)
        text += "<coef h=\"" + std::to_string(h) + "\" mat1=\"" + mats[h] + "\" mat2=\"" + mats[(h + 1) % mats.size()] +
                "\" coef=\"" + std::to_string(10 * h + 1) + "\"/>";
    return text + "</country></countries>";
}

}  // namespace

TEST(CountryImport, AppendsCountryAndMaterialsMovingEverySection) {
    lndtest::TempDir dir;
    // Three materials: a 24-bit picture with an upper-case file name, an 8-bit grey one of
    // another size (scaled), and one without a file (black).
    writeFile(dir.file("Material7.bmp"), encodeBmp(solid(256, 256, 0xF8, 0x80, 0x10)));
    std::vector<std::uint8_t> grey(64 * 32, 0x50);
    writeFile(dir.file("grass.bmp"), encodeGreyBmp(grey.data(), 64, 32, 64));
    std::ofstream(dir.file("countries.xml")) << countryXml("c", {"material7", "grass", "gone"});

    HeldLand held(2, 5);
    const std::vector<std::uint8_t> before = imageBytes(held.land);
    const TLndBlock block0 = held.land.blocks()[0];
    const TLndNoiseMap noise = *held.land.noiseMap();
    const Result imported = ImportCountryFromFile(held.land, dir.file("countries.xml"), "c");
    ASSERT_TRUE(imported) << imported.message();
    EXPECT_EQ(held.messages.count(), 0u);
    EXPECT_TRUE(held.land.modified());
    ASSERT_EQ(held.land.numCountries(), 3);
    ASSERT_EQ(held.land.numMaterials(), 8);
    EXPECT_EQ(held.land.fileSize(), before.size() + sizeof(TLndCountry) + 3 * sizeof(TLndMaterial));
    EXPECT_EQ(std::memcmp(&held.land.blocks()[0], &block0, sizeof block0), 0);
    EXPECT_EQ(std::memcmp(held.land.noiseMap(), &noise, sizeof noise), 0);

    const TLndCountry& added = held.land.countries()[2];
    EXPECT_EQ(std::int32_t(added.Index), 2);
    for (int h = 0; h < 256; ++h) {
        const TLndCoef& e = added.Coefs[h];
        if (h < 3) {
            EXPECT_EQ(std::int32_t(e.mat1), 5 + h);
            EXPECT_EQ(std::int32_t(e.mat2), 5 + (h + 1) % 3);
            EXPECT_EQ(std::int32_t(e.coef), 10 * h + 1);
        } else {
            EXPECT_EQ(std::int32_t(e.mat1) | std::int32_t(e.mat2) | std::int32_t(e.coef), 0) << h;
        }
    }
    const auto& mats = held.land.materials();
    EXPECT_EQ(std::uint16_t(mats[5].Opaque), 0);
    EXPECT_EQ(std::uint16_t(mats[5].Texels[0][0]), std::uint16_t((0x1F << 10) | (0x10 << 5) | 0x02));
    EXPECT_EQ(std::uint16_t(mats[5].Texels[255][255]), std::uint16_t((0x1F << 10) | (0x10 << 5) | 0x03));
    EXPECT_EQ(std::uint16_t(mats[6].Texels[200][100]), std::uint16_t((10 << 10) | (10 << 5) | 10));
    EXPECT_EQ(std::uint16_t(mats[7].Texels[17][99]), 0);
}

TEST(CountryImport, FifteenCountriesIsTheLimit) {
    lndtest::TempDir dir;
    std::ofstream(dir.file("countries.xml")) << countryXml("0", {"a", "b"});
    HeldLand held(14, 1);
    EXPECT_TRUE(canImportCountry(held.land));
    ASSERT_TRUE(ImportCountryFromFile(held.land, dir.file("countries.xml"), "0"));
    EXPECT_EQ(held.land.numCountries(), 15);
    EXPECT_EQ(held.land.numMaterials(), 3);
    const std::vector<std::uint8_t> full = imageBytes(held.land);
    held.land.setModified(false);
    for (const Result& refused : {canImportCountry(held.land), ImportCountryFromFile(held.land, dir.file("countries.xml"), "0"),
                                  ImportCountry(held.land, CountryChoice{dir.path(), {}})}) {
        EXPECT_EQ(refused.status(), Status::NotPossible);
        EXPECT_EQ(refused.message(), kTooManyCountriesMessage);   // the text the editor shows
    }
    EXPECT_EQ(imageBytes(held.land), full);
    EXPECT_FALSE(held.land.modified());
    EXPECT_EQ(held.messages.count(), 0u) << "the core shows nothing";
}

TEST(CountryImport, RefusedInputLeavesTheImageExactlyAsItWas) {
    lndtest::TempDir dir;
    std::string nested = "<countries>";
    for (int k = 0; k < 100; ++k) nested += "<x>";
    for (int k = 0; k < 100; ++k) nested += "</x>";
    nested += "</countries>";
    std::string huge = "<countries>" + std::string(kMaxCountriesXmlBytes, ' ') + "</countries>";
    std::filesystem::create_directory(dir.file("folder.xml"));
    struct Case {
        const char* what;
        std::string text;   // empty: no file at all
        std::string id;
        Status status;
        std::string expected;   // start of the message: the editor's text
        std::string reason;     // in the message after it: why, in the system's words where it refused
        bool offset = false;    // the byte where the file breaks is known
    } cases[] = {
        {"missing", "", "0", Status::IoFailed, "Error Loading the file ", "No such file or directory"},
        {"folder", "", "0", Status::BadInput, "Error Loading the file ", "not a regular file"},
        {"malformed", "<countries><country id=\"0\">", "0", Status::BadInput, "Error Loading the file ",
         "not well-formed XML", true},
        {"nested", nested, "0", Status::BadInput, "Error Loading the file ", "nested more than"},
        {"huge", huge, "0", Status::BadInput, "Error Loading the file ", "too large"},
        {"unknown id", countryXml("0", {"a"}), "1", Status::BadInput, "The file ", "holds no country \"1\""},
        {"escaping name", countryXml("0", {"../../etc/passwd"}), "0", Status::BadInput,
         "The material name \"../../etc/passwd\"", "inside the materials folder"},
        {"backslash name", countryXml("0", {"a\\b"}), "0", Status::BadInput, "The material name", ""},
        {"drive name", countryXml("0", {"C:x"}), "0", Status::BadInput, "The material name", ""},
        {"absolute name", countryXml("0", {"/tmp/x"}), "0", Status::BadInput, "The material name", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file(std::string(c.what) + ".xml");
        if (!c.text.empty()) std::ofstream(path) << c.text;
        HeldLand held(2, 5);
        const std::vector<std::uint8_t> before = imageBytes(held.land);
        const Result r = ImportCountryFromFile(held.land, path, c.id);
        EXPECT_EQ(r.status(), c.status) << r.message();
        EXPECT_EQ(imageBytes(held.land), before);
        EXPECT_FALSE(held.land.modified());
        EXPECT_EQ(held.messages.count(), 0u) << "the core shows nothing";
        EXPECT_EQ(r.message().rfind(c.expected, 0), 0u) << r.message();
        EXPECT_NE(r.message().find(c.reason), std::string::npos) << r.message();
        EXPECT_EQ(r.offset().has_value(), c.offset) << r.message();
        EXPECT_EQ(r.systemError() != 0, c.status == Status::IoFailed) << r.message();
        if (c.expected == std::string("Error Loading the file ")) {
            EXPECT_EQ(r.message().rfind(countriesLoadErrorText(path) + " (", 0), 0u) << r.message();
        }
    }
    // No land held: refused without a text for the user.
    CLand empty;
    const Result none = ImportCountry(empty, CountryChoice{dir.path(), {}});
    EXPECT_EQ(none.status(), Status::NotPossible);
    // A material bitmap that cannot be read is named with the reader's reason; the import
    // still appends its slot, black.
    std::ofstream(dir.file("bad.bmp")) << "BMnot a bitmap";
    TLndMaterial material;
    for (const auto& [file, status, reason] :
         {std::tuple{dir.file("absent.bmp"), Status::IoFailed, std::string("No such file or directory")},
          std::tuple{dir.file("bad.bmp"), Status::BadInput, std::string("bad.bmp: truncated or corrupt")},
          std::tuple{dir.file("bad.gif"), Status::BadInput, std::string("not a .bmp or .tga file")}}) {
        SCOPED_TRACE(file);
        std::memset(&material, 0x5A, sizeof material);
        const Result r = readMaterialImage(file, material);
        EXPECT_EQ(r.status(), status);
        EXPECT_NE(r.message().find(reason), std::string::npos) << r.message();
        EXPECT_EQ(std::uint16_t(material.Texels[7][9]), 0);
    }
}

TEST(CountryImport, IdsAreComparedAsPlainText) {
    CountriesFile file;
    const std::string text = "<countries><country id=\"a']|//*[@id='\"><coef h=\"1\" mat1=\"m\" coef=\"7\"/></country>"
                             "<country id=\"[1]\"><coef h=\"2\" mat1=\"n\" coef=\"9\"/></country></countries>";
    ASSERT_TRUE(CountriesFile::parse({text.data(), text.size()}, file));
    EXPECT_EQ(chooseCountry(file, "a']|//*[@id='", "d").coefs.size(), 1u);
    EXPECT_EQ(chooseCountry(file, "[1]", "d").materialNames(), std::vector<std::string>{"n"});
    EXPECT_TRUE(chooseCountry(file, "a", "d").coefs.empty());
    EXPECT_TRUE(chooseCountry(file, "1", "d").coefs.empty());
}

TEST(CountryImport, ExportedTableComesBackWithMaterialsRenumbered) {
    HeldLand source(4, 6);
    for (int c = 0; c < 4; ++c)
        for (int h = 0; h < 256; ++h) {
            TLndCoef& e = source.land.countries()[std::size_t(c)].Coefs[h];
            e.mat1 = (c + h) % 6, e.mat2 = (c * 7 + h / 3) % 6, e.coef = (h * 13 + c) % 256;
        }
    lndtest::TempDir dir;
    ASSERT_TRUE(writeCountriesXml(dir.file("countries.xml"), source.land.countries()));
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        HeldLand target(1, 2);
        ASSERT_TRUE(ImportCountryFromFile(target.land, dir.file("countries.xml"), std::to_string(c)));
        // Names are numbered in order of first use; map them back to compare.
        CountriesFile file;
        ASSERT_TRUE(CountriesFile::load(dir.file("countries.xml"), file));
        const std::vector<std::string> names = chooseCountry(file, std::to_string(c), dir.path()).materialNames();
        EXPECT_EQ(target.land.numMaterials(), 2 + int(names.size()));
        const TLndCountry& got = target.land.countries()[1];
        for (int h = 0; h < 256; ++h) {
            const TLndCoef& want = source.land.countries()[std::size_t(c)].Coefs[h];
            EXPECT_EQ(names[std::size_t(got.Coefs[h].mat1 - 2)], "material" + std::to_string(want.mat1));
            EXPECT_EQ(names[std::size_t(got.Coefs[h].mat2 - 2)], "material" + std::to_string(want.mat2));
            EXPECT_EQ(std::int32_t(got.Coefs[h].coef), std::int32_t(want.coef));
        }
    }
}

TEST(CountryImport, PathsAndExportedLands) {
    EXPECT_EQ(landNameOf("C:\\lands\\Isle.One.lnd"), "Isle.One");
    EXPECT_EQ(landNameOf("/a/b/land3.lnd"), "land3");
    EXPECT_EQ(landNameOf("land3.lnd"), "land3");
    EXPECT_EQ(landNameOf("/a/noext"), "");
    EXPECT_EQ(landNameOf(".lnd"), "");
    EXPECT_EQ(materialsDirOf("exp", "L", "mats"), "exp/L/mats");
    EXPECT_EQ(materialsDirOf("exp\\", "L", "mats"), "exp\\L/mats");

    const std::string saved = startDirectory();
    setStartDirectory("/start");
    EXPECT_EQ(resolveFromStart("  ./x/y \t"), "/start/./x/y");
    EXPECT_EQ(resolveFromStart("../x"), "/start/../x");
    EXPECT_EQ(resolveFromStart("/abs"), "/abs");
    setStartDirectory(saved);

    lndtest::TempDir dir;
    for (const char* d : {"Alpha", "beta", "MyLand", "with.ext"}) std::filesystem::create_directory(dir.file(d));
    std::ofstream(dir.file("plainfile")) << "x";
    EXPECT_EQ(exportedLands(dir.path() + "/", "myland"), (std::vector<std::string>{"Alpha", "beta"}));
    EXPECT_TRUE(exportedLands(dir.file("none/"), "x").empty());
}

TEST(CountryTable, SetEverywhereKeepsOtherFlagBits) {
    HeldLand held(3, 2, 3);
    for (TLndBlock& b : held.land.blocks())
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) b.Cells[i][j].CellFlags = std::uint16_t((i * 977 + j * 131) & 0xFFFF);
    held.land.textures().blocks().make(3);
    std::vector<TLndBlock> before(held.land.blocks().begin(), held.land.blocks().end());
    const Result refused = setCountryEverywhere(held.land, 3);
    EXPECT_EQ(refused.status(), Status::BadInput);
    EXPECT_EQ(refused.message(), "the land has no country 3 (it has 3)");
    EXPECT_FALSE(held.land.modified());
    ASSERT_TRUE(setCountryEverywhere(held.land, 2));
    EXPECT_TRUE(held.land.modified());
    EXPECT_FALSE(held.land.textures().blocks().exists());
    for (std::size_t b = 0; b < before.size(); ++b)
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j) {
                const std::uint16_t now = held.land.blocks()[b].Cells[i][j].CellFlags;
                EXPECT_EQ(now & kCountryMask, 2);
                EXPECT_EQ(now & ~kCountryMask, before[b].Cells[i][j].CellFlags & ~kCountryMask);
            }
}

TEST(CountryTable, PicturesStepsAndStoredTables) {
    HeldLand held(2, 3);
    auto mats = held.land.materials();
    for (int m = 0; m < 3; ++m)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) mats[std::size_t(m)].Texels[y][x] = std::uint16_t((m * 10 << 10) | (y % 32 << 5) | x % 32);
    EXPECT_EQ(materialPicture(mats[1])[3 * 256 + 5], std::uint32_t(80 | (24 << 8) | (40 << 16)));
    // (a c + b (255 - c)) / 256 per channel: red 80 against 160 at c = 100 gives 130.
    EXPECT_EQ(blendPicture(mats[1], mats[2], 100)[0] & 0xFF, std::uint32_t((80 * 100 + 160 * 155) / 256));

    TLndCountry edited = held.land.countries()[0];
    for (int h = 0; h < 256; ++h) edited.Coefs[h] = TLndCoef{};
    edited.Coefs[0].mat1 = 2, edited.Coefs[0].coef = 255;      // bottom line: material 2
    edited.Coefs[255].mat1 = 1, edited.Coefs[255].coef = 255;  // top line: material 1
    edited.Coefs[128].mat1 = 9, edited.Coefs[128].mat2 = -4;   // outside the table: black
    edited.Index = 77;
    held.land.textures().blocks().make(2);
    const std::int32_t leading = held.land.countries()[1].Index;
    ASSERT_TRUE(storeCountry(held.land, 1, edited));
    EXPECT_EQ(std::int32_t(held.land.countries()[1].Index), leading);
    EXPECT_TRUE(held.land.modified());
    EXPECT_EQ(storeCountry(held.land, 2, edited).status(), Status::BadInput);
    const CountryPicture p = countryPicture(held.land.countries()[1], held.land.materials());
    EXPECT_EQ(p[255 * 256] & 0xFF, std::uint32_t(160 * 255 / 256));   // altitude 0 at the bottom
    EXPECT_EQ(p[0] & 0xFF, std::uint32_t(80 * 255 / 256));             // altitude 255 at the top
    EXPECT_EQ(p[127 * 256 + 9], 0u);

    struct Step { int current, count, step, expected; } steps[] = {
        {2, 3, +1, 0}, {0, 3, -1, 2}, {1, 3, +1, 2}, {0, 0, +1, 0}, {0, 0, -1, 0}, {5, 0, -1, 5}, {0, 1, -1, 0},
    };
    for (const Step& s : steps) EXPECT_EQ(steppedIndex(s.current, s.count, s.step), s.expected);
}

TEST(CountryTable, EditorLoadingNoBlockLeavesAnEmptyWorkingCopy) {
    HeldLand held(1, 1);
    CTextureEdit editor;
    editor.LoadBlock(held.land, -1);
    EXPECT_EQ(editor.block(), -1);
    EXPECT_EQ(editor.pixel(100, 100), kPictureBlue);
    EXPECT_FALSE(editor.ApplyToBlock());
    const TLndBlock none{};
    EXPECT_EQ(std::memcmp(&editor.workingCopy(), &none, sizeof none), 0);
}
