// A land image held by a test, with mutable access to its header and block records.
#pragma once

#include "land/lnd_file.h"
#include "support/land_builder.h"

#include <span>
#include <stdexcept>
#include <vector>

namespace viewtest {

struct TestLand {
    std::vector<std::uint8_t> image;
    lnd::LndLayout layout;

    explicit TestLand(const lndtest::LandBuilder& builder) : image(builder.build()) {
        if (!lnd::checkImage(image, layout)) throw std::runtime_error("test land refused");
    }
    lnd::TLndHeader& header() { return *lnd::recordAt<lnd::TLndHeader>(image.data(), 0); }
    std::span<lnd::TLndBlock> blocks() {
        return {lnd::recordAt<lnd::TLndBlock>(image.data(), layout.blocksOffset),
                std::size_t(layout.numBlockRecords)};
    }
};

}  // namespace viewtest
