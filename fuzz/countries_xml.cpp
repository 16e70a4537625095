// countries.xml on any bytes: parsing, the selection by id and the country records the import
// fills from it.
#include "countries/countries_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lnd;
    CountriesFile file;
    if (!CountriesFile::parse({reinterpret_cast<const char*>(data), size}, file)) return 0;
    std::int32_t index = 0;
    for (const CountryElement& c : file.countries()) {
        const std::vector<const CoefElement*> coefs = file.coefsOf(c.id);
        const std::vector<std::string> names = materialNamesOf(coefs);
        TLndCountry record;
        fillCountry(coefs, names, index++, 3, record);
    }
    return 0;
}
