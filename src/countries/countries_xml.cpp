#include "countries/countries_xml.h"

#include "base/settings.h"
#include "base/file_io.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lnd {

std::string countriesXmlText(std::span<const TLndCountry> countries) {
    std::string text;
    text.reserve(64 + countries.size() * 256 * 64);
    text += "<countries>\r\n";
    char line[160];
    for (std::size_t c = 0; c < countries.size(); ++c) {
        std::snprintf(line, sizeof line, "<country id=\"%d\">\r\n", int(c));
        text += line;
        for (int h = 0; h < 256; ++h) {
            const TLndCoef& e = countries[c].Coefs[h];
            std::snprintf(line, sizeof line, "<coef h=\"%d\" mat1=\"material%d\" mat2=\"material%d\" coef=\"%d\"/>\r\n",
                          h, std::int32_t(e.mat1), std::int32_t(e.mat2), std::int32_t(e.coef));
            text += line;
        }
        text += "</country>\r\n";
    }
    text += "</countries>\r\n";
    return text;
}

Result writeCountriesXml(const std::string& path, std::span<const TLndCountry> countries) {
    const std::string text = countriesXmlText(countries);
    return writeFileAtomic(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

namespace {

// Deepest element nesting, found without recursion so a hostile file cannot exhaust the stack.
int depthOf(const pugi::xml_node& root) {
    int depth = 0, deepest = 0;
    pugi::xml_node node = root.first_child();
    while (node) {
        deepest = std::max(deepest, depth + 1);
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (node == root) return deepest;
        }
        if (node) node = node.next_sibling();
    }
    return deepest;
}

std::optional<std::string> attributeText(const pugi::xml_node& node, const char* name) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) return std::nullopt;
    return std::string(a.value());
}

}  // namespace

Result CountriesFile::parse(std::span<const char> text, CountriesFile& out) {
    const auto refuse = [](std::string why) { return Result::failure(Status::BadInput, std::move(why)); };
    if (text.size() > kMaxCountriesXmlBytes)
        return refuse("the file is larger than " + std::to_string(kMaxCountriesXmlBytes >> 20) +
                      " MB; a country definitions file is far smaller");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!parsed)
        return Result::badInputAt(std::uint64_t(std::max<std::ptrdiff_t>(parsed.offset, 0)),
                                  std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                                      std::to_string(parsed.offset));
    int roots = 0;
    for (const pugi::xml_node node : doc.children())
        if (node.type() == pugi::node_element) ++roots;
    if (roots != 1) return refuse("not well-formed XML: " + std::to_string(roots) + " top-level elements");
    if (depthOf(doc) > kMaxCountriesXmlDepth)
        return refuse("elements nested more than " + std::to_string(kMaxCountriesXmlDepth) + " deep");
    if (doc.select_nodes("//countries").empty()) return refuse("no countries element");

    std::vector<CountryElement> countries;
    for (const pugi::xpath_node& xn : doc.select_nodes("//countries/country")) {
        const pugi::xml_node node = xn.node();
        CountryElement country;
        country.id = node.attribute("id").value();
        for (const pugi::xml_node coef : node.children("coef"))
            country.coefs.push_back(
                {attributeText(coef, "h"), attributeText(coef, "mat1"), attributeText(coef, "mat2"), attributeText(coef, "coef")});
        countries.push_back(std::move(country));
    }
    out.m_countries = std::move(countries);
    return Result::success();
}

Result CountriesFile::load(const std::string& path, CountriesFile& out) {
    std::vector<std::uint8_t> bytes;
    if (Result r = readWholeFile(path, bytes, kMaxCountriesXmlBytes); !r) return r;
    return parse({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, out).within(path);
}

std::vector<const CoefElement*> CountriesFile::coefsOf(const std::string& id) const {
    std::vector<const CoefElement*> coefs;
    for (const CountryElement& c : m_countries)
        if (c.id == id)
            for (const CoefElement& e : c.coefs) coefs.push_back(&e);
    return coefs;
}

std::vector<std::string> materialNamesOf(const std::vector<const CoefElement*>& coefs) {
    std::vector<std::string> names;
    auto add = [&](const std::optional<std::string>& name) {
        if (name && std::find(names.begin(), names.end(), *name) == names.end()) names.push_back(*name);
    };
    for (const CoefElement* e : coefs) {
        add(e->mat1);
        add(e->mat2);
    }
    return names;
}

FillReport fillCountry(const std::vector<const CoefElement*>& coefs, const std::vector<std::string>& names,
                       std::int32_t newIndex, std::int32_t firstMaterial, TLndCountry& out) {
    FillReport report;
    std::memset(&out, 0, sizeof out);
    out.Index = newIndex;
    auto materialNumber = [&](const std::string& name, LeI32& field) {
        const auto it = std::find(names.begin(), names.end(), name);
        if (it != names.end()) field = firstMaterial + std::int32_t(it - names.begin());
    };
    for (const CoefElement* e : coefs) {
        if (!e->h) {
            ++report.skippedElements;
            continue;
        }
        const std::int32_t h = textToInt(*e->h);
        if (h < 0 || h > 255) {
            ++report.skippedElements;
            continue;
        }
        TLndCoef& entry = out.Coefs[h];
        if (e->coef) {
            // A weight outside 0..255 would overflow the blend; no valid file holds one.
            const std::int32_t coef = textToInt(*e->coef);
            if (coef < 0 || coef > 255) ++report.clampedWeights;
            entry.coef = std::clamp<std::int32_t>(coef, 0, 255);
        }
        if (e->mat1) materialNumber(*e->mat1, entry.mat1);
        if (e->mat2) materialNumber(*e->mat2, entry.mat2);
    }
    return report;
}

}  // namespace lnd
