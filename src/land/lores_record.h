// Low-resolution texture records as DDS images: the header a new record gets and the DDS
// file a record holds.
#pragma once

#include "format/lnd_format.h"

#include <cstdint>
#include <vector>

namespace lnd {

// Fills the DdsSize and DDS header of a low-resolution texture record made from nothing:
// a 256 x 256 DXT3 surface with 65536 bytes of data and no smaller levels. The opaque words
// and the data are left as they are.
void initLoResRecord(TLndLoResTex& record);

// The DDS file held by a low-resolution texture record, with its magic put back in place
// of DdsSize (the record itself is not touched).
std::vector<std::uint8_t> loResRecordDds(const TLndLoResTex& record);

}  // namespace lnd
