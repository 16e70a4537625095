// A plain, unoptimised DXT3 block encoder used as the oracle of the fast one.
#pragma once

#include <cstdint>

namespace lndtest {

void referenceEncodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]);

}  // namespace lndtest
