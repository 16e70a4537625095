#include "format/lnd_report.h"
#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <random>

using namespace lnd;

// Random damage to the header and the first records: whatever the reader accepts must be
// safe to summarise, check and dump (the sanitizer build catches any stray access).
TEST(LndMutation, AcceptedImagesAreSafeToInspect) {
    const auto pristine = lndtest::LandBuilder().loResTextures(1).countries(2).materials(1)
                              .block(0, 0).block(31, 31).block(4, 5).build();
    std::mt19937 rng(1234);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        auto image = pristine;
        const int flips = 1 + int(rng() % 6);
        for (int k = 0; k < flips; ++k) {
            const std::size_t at = rng() % 2 ? rng() % kHeaderSize : rng() % image.size();
            image[at] = static_cast<std::uint8_t>(rng());
        }
        if (rng() % 4 == 0) image.resize(rng() % (image.size() + 1));
        LndView view;
        if (!view.open(image)) continue;
        ++accepted;
        const LandSummary s = summarize(view);
        EXPECT_LE(s.occupiedSquares, 1024);
        (void)consistencyWarnings(view);
        const auto map = dumpBigMap(view, DumpChoice(1 + round % 3));
        ASSERT_EQ(map.size(), kBigMapSize);
        EXPECT_EQ(writePlain(partsOf(view)).size(), view.layout().fileSize);
    }
    EXPECT_GT(accepted, 100);  // the damage must leave plenty of readable lands to inspect
}
