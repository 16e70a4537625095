#include "countries/countries_xml.h"
#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <random>

using namespace lnd;

namespace {

std::vector<TLndCountry> sampleCountries(int n) {
    std::vector<TLndCountry> cs(n);
    std::mt19937 rng(3);
    for (int c = 0; c < n; ++c) {
        std::memset(&cs[c], 0, sizeof cs[c]);
        cs[c].Index = c;
        for (int h = 0; h < 256; ++h) {
            cs[c].Coefs[h].mat1 = int(rng() % 4);
            cs[c].Coefs[h].mat2 = int(rng() % 4);
            cs[c].Coefs[h].coef = int(rng() % 256);
        }
    }
    return cs;
}

CountriesFile parseText(const std::string& text, Result* result = nullptr) {
    CountriesFile f;
    Result r = CountriesFile::parse({text.data(), text.size()}, f);
    if (result) *result = r;
    else EXPECT_TRUE(r) << r.message();
    return f;
}

}  // namespace

TEST(CountriesXmlWriter, ExactBytes) {
    std::vector<TLndCountry> cs(1);
    std::memset(cs.data(), 0, sizeof cs[0]);
    cs[0].Coefs[0].mat1 = 2;
    cs[0].Coefs[0].mat2 = -1;
    cs[0].Coefs[0].coef = 200;
    const std::string text = countriesXmlText(cs);
    const std::string head = "<countries>\r\n<country id=\"0\">\r\n"
                             "<coef h=\"0\" mat1=\"material2\" mat2=\"material-1\" coef=\"200\"/>\r\n"
                             "<coef h=\"1\" mat1=\"material0\" mat2=\"material0\" coef=\"0\"/>\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = "<coef h=\"255\" mat1=\"material0\" mat2=\"material0\" coef=\"0\"/>\r\n"
                             "</country>\r\n</countries>\r\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 1 + 256 + 1 + 1);
    EXPECT_EQ(countriesXmlText({}), "<countries>\r\n</countries>\r\n");
}

TEST(CountriesXmlRoundTrip, EntriesComeBackRenumberedAfterTheLandsMaterials) {
    const auto cs = sampleCountries(3);
    lndtest::TempDir dir;
    ASSERT_TRUE(writeCountriesXml(dir.file("countries.xml"), cs));
    CountriesFile f;
    ASSERT_TRUE(CountriesFile::load(dir.file("countries.xml"), f));
    ASSERT_EQ(f.countries().size(), 3u);
    for (int c = 0; c < 3; ++c) {
        const auto coefs = f.coefsOf(std::to_string(c));
        ASSERT_EQ(coefs.size(), 256u);
        const auto names = materialNamesOf(coefs);
        TLndCountry got;
        const FillReport rep = fillCountry(coefs, names, 7, 10, got);
        EXPECT_EQ(rep.skippedElements, 0);
        EXPECT_EQ(got.Index, 7);
        for (int h = 0; h < 256; ++h) {
            const TLndCoef& want = cs[c].Coefs[h];
            auto pos = [&](int m) {
                return 10 + int(std::find(names.begin(), names.end(), "material" + std::to_string(m)) - names.begin());
            };
            EXPECT_EQ(got.Coefs[h].coef, want.coef);
            EXPECT_EQ(got.Coefs[h].mat1, pos(want.mat1));
            EXPECT_EQ(got.Coefs[h].mat2, pos(want.mat2));
        }
    }
}

TEST(CountriesXmlReader, MaterialsInOrderOfFirstUse) {
    const auto f = parseText(R"(<countries><country id="a">
        <coef h="0" mat1="sand" mat2="rock" coef="1"/>
        <coef h="1" mat1="rock" mat2="sand" coef="1"/>
        <coef h="2" mat2="snow"/>
        </country><country id="b"><coef h="0" mat1="x" mat2="y"/></country></countries>)");
    EXPECT_EQ(materialNamesOf(f.coefsOf("a")), (std::vector<std::string>{"sand", "rock", "snow"}));
    EXPECT_EQ(materialNamesOf(f.coefsOf("b")), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(f.coefsOf("zzz").empty());
}

TEST(CountriesXmlReader, BadElementsAreSkippedAndLaterOnesWin) {
    const auto f = parseText(R"(<countries><country id="0">
        <coef h="300" mat1="m" coef="9"/>
        <coef h="-1" mat1="m" coef="9"/>
        <coef mat1="m" coef="9"/>
        <coef h="99999999999999999999" coef="9"/>
        <coef h="  12junk" mat1="m" mat2="n" coef="40"/>
        <coef h="12" coef="41"/>
        <coef h="13" coef="-7"/>
        <coef h="14" coef="4000000000"/>
        <coef h="15"/>
        </country><country><coef h="1" coef="5"/></country></countries>)");
    const auto coefs = f.coefsOf("0");
    const auto names = materialNamesOf(coefs);
    ASSERT_EQ(names, (std::vector<std::string>{"m", "n"}));
    TLndCountry c;
    const FillReport rep = fillCountry(coefs, names, 2, 5, c);
    EXPECT_EQ(rep.skippedElements, 4);
    EXPECT_EQ(rep.clampedWeights, 2);
    EXPECT_EQ(c.Coefs[12].coef, 41);
    EXPECT_EQ(c.Coefs[12].mat1, 5);
    EXPECT_EQ(c.Coefs[12].mat2, 6);
    EXPECT_EQ(c.Coefs[13].coef, 0);
    EXPECT_EQ(c.Coefs[14].coef, 255);
    EXPECT_EQ(c.Coefs[15].coef, 0);
    EXPECT_EQ(c.Coefs[0].mat1, 0);
    // a country without id is listed with an empty one
    ASSERT_EQ(f.countries().size(), 2u);
    EXPECT_EQ(f.countries()[1].id, "");
    EXPECT_EQ(f.coefsOf("").size(), 1u);
}

TEST(CountriesXmlReader, HostileFilesAreRefusedAndChangeNothing) {
    CountriesFile f = parseText(R"(<countries><country id="keep"/></countries>)");
    auto refuse = [&](const std::string& text, std::optional<std::uint64_t> offset = std::nullopt) {
        Result r = CountriesFile::parse({text.data(), text.size()}, f);
        EXPECT_EQ(r.status(), Status::BadInput) << text.substr(0, 40);
        EXPECT_FALSE(r.message().empty());
        if (offset) {
            EXPECT_EQ(r.offset(), offset) << r.message();
        }
        ASSERT_EQ(f.countries().size(), 1u);
        EXPECT_EQ(f.countries()[0].id, "keep");
    };
    refuse("");
    refuse("<countries><country id=\"0\">");                 // unclosed
    refuse("<countries><coef h=1/></countries>", 19);        // at the unquoted value
    refuse("<countries><coef h=\"1\"/></countries><x/>");    // two roots
    refuse("<other><country id=\"1\"/></other>");            // no countries element
    std::mt19937 rng(11);
    std::string junk(10u << 20, '\0');
    for (char& ch : junk) ch = char(rng());
    refuse(junk);
    std::string deep;
    for (int k = 0; k < 100000; ++k) deep += "<countries>";
    for (int k = 0; k < 100000; ++k) deep += "</countries>";
    refuse(deep);
    refuse(std::string(kMaxCountriesXmlBytes + 1, ' '));

    lndtest::TempDir dir;
    const Result missing = CountriesFile::load(dir.file("missing.xml"), f);
    EXPECT_EQ(missing.status(), Status::IoFailed);
    EXPECT_NE(missing.message().find("missing.xml: No such file or directory"), std::string::npos) << missing.message();
    EXPECT_EQ(f.countries()[0].id, "keep");
    // A file that breaks names itself and where.
    lndtest::writeBytes(dir.file("broken.xml"), std::vector<std::uint8_t>{'<', 'c', '>', '<'});
    const Result broken = CountriesFile::load(dir.file("broken.xml"), f);
    EXPECT_EQ(broken.status(), Status::BadInput);
    EXPECT_EQ(broken.message().rfind(dir.file("broken.xml") + ": not well-formed XML", 0), 0u) << broken.message();
    EXPECT_TRUE(broken.offset().has_value());
    // The writer gives the system's reason where it cannot write.
    const Result written = writeCountriesXml(dir.file("missing/countries.xml"), sampleCountries(1));
    EXPECT_FALSE(written);
    EXPECT_EQ(written.systemError(), ENOENT) << written.message();
}

TEST(CountriesXmlReader, QuotesInIdsAreJustText) {
    const auto f = parseText(R"(<countries><country id="a']|//x|['"><coef h="3" coef="9"/></country></countries>)");
    EXPECT_EQ(f.coefsOf("a']|//x|['").size(), 1u);
}
