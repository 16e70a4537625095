// Writes the seed corpus of every harness: small valid lands of several shapes, images of
// every supported kind, real settings and country files. Usage: make_seeds OUTDIR [SOURCE_ROOT]
// Seeds go to OUTDIR/<harness>/; a harness without generated seeds gets none here (it may
// keep hand-made ones in fuzz/seeds/<harness>/).
#include "codec/dds.h"
#include "codec/image_files.h"
#include "countries/countries_xml.h"
#include "format/lnd_file.h"
#include "support/land_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path g_out;

void put(const std::string& target, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(g_out / target);
    std::ofstream(g_out / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void putText(const std::string& target, const std::string& name, const std::string& text) {
    put(target, name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = std::uint8_t((k * 2654435761u + seed) >> 7);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR [SOURCE_ROOT]\n");
        return 2;
    }
    g_out = argv[1];
    const fs::path root = argc > 2 ? fs::path(argv[2]) : fs::path(".");

    // Lands: the smallest, one block, a patch, a sparse grid, an orphan record, no textures.
    using lndtest::LandBuilder;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> lands;
    lands.push_back({"empty.lnd", LandBuilder().loResTextures(0).materials(0).countries(0).build()});
    lands.push_back({"one-block.lnd", LandBuilder().block(0, 0).build()});
    {
        LandBuilder b;
        b.countries(3).materials(2).loResTextures(1);
        for (int gx = 4; gx < 7; ++gx)
            for (int gz = 5; gz < 7; ++gz) b.block(gx, gz);
        lands.push_back({"patch.lnd", b.build()});
    }
    {
        LandBuilder b;
        b.countries(2).materials(1).loResTextures(2);
        b.block(31, 31).block(0, 31).block(31, 0).block(15, 16).orphanBlock();
        lands.push_back({"corners-orphan.lnd", b.build()});
    }
    lands.push_back({"no-textures.lnd", LandBuilder().loResTextures(0).block(2, 3).block(2, 4).build()});
    for (const auto& [name, bytes] : lands) {
        put("lnd_reader", name, bytes);
        put("land_load", name, bytes);
        put("dumper_reading", name, bytes);
    }

    // BMP: 24-bit and 8-bit paletted (full and short palette), odd widths for row padding.
    lndtest::BmpSpec bmp24{5, 3, 24, 0, {}, {}};
    for (int k = 0; k < 15; ++k) bmp24.pixels.push_back(0x102030u * std::uint32_t(k));
    put("bmp_reader", "rgb24-5x3.bmp", lndtest::makeBmp(bmp24));
    lndtest::BmpSpec bmp8{3, 2, 8, 0, {0, 1, 2, 3, 4, 5}, {}};
    for (int k = 0; k < 256; ++k) bmp8.palette.push_back(0x010101u * std::uint32_t(k));
    put("bmp_reader", "pal8-3x2.bmp", lndtest::makeBmp(bmp8));
    lndtest::BmpSpec bmp8short{4, 4, 8, 4, std::vector<std::uint32_t>(16, 2), {0xFF0000, 0x00FF00, 0x0000FF, 0}};
    put("bmp_reader", "pal8-short.bmp", lndtest::makeBmp(bmp8short));

    // TGA: colour-mapped 8-bit with 24- and 32-bit maps, true colour 24 and 32, top-down.
    lndtest::TgaSpec map8{1, 3, 2, 8, 0, 0, 1, 24, {0xFF112233, 0xFF445566, 0xFF778899}, {0, 1, 2, 2, 1, 0}};
    put("tga_reader", "mapped8-24.tga", lndtest::makeTga(map8));
    map8.mapEntryBits = 32;
    put("tga_reader", "mapped8-32.tga", lndtest::makeTga(map8));
    lndtest::TgaSpec rgb{2, 4, 2, 24, 0, 0, 0, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8}};
    put("tga_reader", "rgb24.tga", lndtest::makeTga(rgb));
    rgb.depth = 32;
    rgb.descriptor = 0x28;
    rgb.idLength = 3;
    put("tga_reader", "rgba32-topdown-id.tga", lndtest::makeTga(rgb));

    // DDS: DXT3 and 32-bit, square and not, plus a low-resolution record's image.
    for (auto [kind, w, h] : {std::tuple{lnd::DdsKind::Dxt3, 8, 8}, std::tuple{lnd::DdsKind::Dxt3, 16, 4},
                              std::tuple{lnd::DdsKind::Bgra32, 4, 4}, std::tuple{lnd::DdsKind::Bgra32, 3, 5}}) {
        lnd::DdsImage image;
        image.kind = kind;
        image.width = w;
        image.height = h;
        image.data = pattern(lnd::ddsDataBytes(kind, std::uint32_t(w), std::uint32_t(h)), unsigned(w * h));
        put("dds_reader", std::string(kind == lnd::DdsKind::Dxt3 ? "dxt3-" : "bgra-") + std::to_string(w) + "x" +
                              std::to_string(h) + ".dds",
            lnd::encodeDds(image));
    }

    // Settings: the shipped file and a small one.
    {
        std::ifstream in(root / "Vostrel.settings.xml", std::ios::binary);
        const std::vector<std::uint8_t> shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!shipped.empty()) put("settings_file", "shipped.xml", shipped);
    }
    putText("settings_file", "small.xml",
            "<?xml version=\"1.0\"?><settings><renderEngine><seaParms alphaCoast=\"100\" altitudeWater=\"4\"/>"
            "</renderEngine><landEdit><brushes><brush bmp=\"a.bmp\" name=\"A\" tip=\"t\">1 2 3</brush>"
            "</brushes></landEdit></settings>");

    // countries.xml as the export writes it, and a hand-written one with odd values.
    std::vector<lnd::TLndCountry> countries(2);
    for (int c = 0; c < 2; ++c)
        for (int h = 0; h < 256; ++h) {
            lnd::TLndCoef& e = countries[std::size_t(c)].Coefs[h];
            e.mat1 = c;
            e.mat2 = 1 - c;
            e.coef = h;
        }
    putText("countries_xml", "exported.xml", lnd::countriesXmlText(countries));
    putText("countries_xml", "odd.xml",
            "<countries><country id=\"0\"><coef h=\"3\" mat1=\"x\" mat2=\"y\" coef=\"300\"/>"
            "<coef h=\"-1\" mat1=\"x\"/></country><country><coef h=\"255\" mat2=\"z\" coef=\"-5\"/></country>"
            "</countries>");
    // XML that tries the parsers: deep nesting, a huge attribute, entities that would expand.
    for (const char* target : {"settings_file", "countries_xml"}) {
        const bool settings = std::string(target) == "settings_file";
        std::string deep = settings ? "<settings>" : "<countries>";
        for (int k = 0; k < 100000; ++k) deep += "<a>";
        for (int k = 0; k < 100000; ++k) deep += "</a>";
        deep += settings ? "</settings>" : "</countries>";
        putText(target, "deep.xml", deep);
        const std::string big(4 << 20, 'x');
        putText(target, "huge-attribute.xml",
                settings ? "<settings><exports rootDirectory=\"" + big + "\"/></settings>"
                         : "<countries><country id=\"" + big + "\"><coef h=\"1\" mat1=\"" + big + "\"/></country></countries>");
        std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
        for (int k = 1; k < 10; ++k)
            laughs += "<!ENTITY lol" + std::to_string(k) + " \"" + std::string(10 * 0, ' ') +
                      [&] {
                          std::string r;
                          for (int j = 0; j < 10; ++j) r += "&lol" + (k > 1 ? std::to_string(k - 1) : std::string()) + ";";
                          return r;
                      }() + "\">";
        laughs += "]>";
        laughs += settings ? "<settings><exports rootDirectory=\"&lol9;\"/>&lol9;</settings>"
                           : "<countries><country id=\"&lol9;\"><coef h=\"&#49;\" mat1=\"&lol9;\"/></country></countries>";
        putText(target, "entities.xml", laughs);
    }

    // Clayvane's files: the shipped ones, a short brush list and a menu file cut short.
    auto shipped = [&](const char* name) {
        std::ifstream in(root / name, std::ios::binary);
        return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    if (auto brushes = shipped("Brushes.txt"); !brushes.empty()) put("clay_brushes", "shipped.txt", brushes);
    putText("clay_brushes", "two.txt", "Brushes 2\r\n# c\r\nBrush\r\n1 1 2 3 4 5 6 7 8 9 10 b\r\n0 5 x\r\n");
    if (auto menu = shipped("Clayvane.dat"); !menu.empty()) {
        put("clay_menu_data", "shipped.dat", menu);
        menu.resize(3 * 65536 + 100);
        put("clay_menu_data", "short.dat", menu);
    }
    return 0;
}
