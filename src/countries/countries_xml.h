// The country definitions file "countries.xml": the blend tables of a land's countries,
// written beside its exported material bitmaps and read back by the country import.
//
// The writer's bytes are fixed (CRLF lines, no declaration, no indentation) because other
// lands' imports read them. The reader is safe on any bytes: a file that is too large, not
// well-formed, nested absurdly deep or without a `countries` element is refused with a
// message and leaves the caller's data alone; inside a sound document, elements that make no
// sense are skipped the way the import always has.
#pragma once

#include "base/result.h"
#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// The file's text for a country table.
std::string countriesXmlText(std::span<const TLndCountry> countries);

// Writes the file atomically; the file helpers' failure, with the system's reason, when it
// cannot be written.
Result writeCountriesXml(const std::string& path, std::span<const TLndCountry> countries);

// One `coef` element, as attribute texts (absent attributes are empty optionals).
struct CoefElement {
    std::optional<std::string> h, mat1, mat2, coef;
};

// One `country` element selected by //countries/country, in document order.
struct CountryElement {
    std::string id;   // text of its id attribute, empty when missing
    std::vector<CoefElement> coefs;
};

inline constexpr std::size_t kMaxCountriesXmlBytes = 16u << 20;   // a full land writes ~0.3 MB
inline constexpr int kMaxCountriesXmlDepth = 64;

class CountriesFile {
public:
    // Parses a document. On failure `out` keeps what it held and the Result is BadInput, at
    // the byte where the XML breaks when it is not well-formed.
    static Result parse(std::span<const char> text, CountriesFile& out);
    // Reads and parses a file; a file that cannot be read gives the system's reason.
    static Result load(const std::string& path, CountriesFile& out);

    const std::vector<CountryElement>& countries() const { return m_countries; }

    // The coef elements of every country whose id is `id`, in document order (what the
    // selection country[@id='id']/coef gives, without building an expression from file text).
    std::vector<const CoefElement*> coefsOf(const std::string& id) const;

private:
    std::vector<CountryElement> m_countries;
};

// The distinct material names used by a country's coef elements, in order of first use:
// mat1 before mat2, elements in document order.
std::vector<std::string> materialNamesOf(const std::vector<const CoefElement*>& coefs);

struct FillReport {
    int skippedElements = 0;   // no h, or h outside 0..255
    int clampedWeights = 0;    // coef outside 0..255
};

// Fills a new country record from a country's coef elements: Index = `newIndex`, every entry
// zero, then per element with a valid h its coef, and mat1/mat2 numbered `firstMaterial` plus
// the position of the name in `names`. Later elements for the same h replace earlier ones.
FillReport fillCountry(const std::vector<const CoefElement*>& coefs, const std::vector<std::string>& names,
                       std::int32_t newIndex, std::int32_t firstMaterial, TLndCountry& out);

}  // namespace lnd
