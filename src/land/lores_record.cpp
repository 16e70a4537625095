#include "land/lores_record.h"

#include "codec/dds.h"

#include <cstring>

namespace lnd {

static_assert(kDdsHeaderSize == kLoResDdsHeaderSize);

void initLoResRecord(TLndLoResTex& record) {
    record.DdsSize = kDdsImageSize;
    fillDdsHeader(record.DdsHeader, DdsKind::Dxt3, 256, 256);
}

std::vector<std::uint8_t> loResRecordDds(const TLndLoResTex& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    std::vector<std::uint8_t> out(bytes + kDdsImageOffset, bytes + kLoResTexSize);
    std::memcpy(out.data(), kDdsMagic, 4);
    return out;
}

}  // namespace lnd
