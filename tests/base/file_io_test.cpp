#include "base/file_io.h"
#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lnd;

TEST(FileIo, AtomicWriteReplacesTheFileAndLeavesNoTemporary) {
    lndtest::TempDir dir;
    const std::string path = dir.file("land.lnd");
    lndtest::writeBytes(path, {1, 2, 3});
    std::vector<std::uint8_t> data(100000, 0x7E);
    ASSERT_TRUE(writeFileAtomic(path, data));
    EXPECT_EQ(lndtest::readBytes(path), data);
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(FileIo, FailedAtomicWriteKeepsThePreviousFile) {
    lndtest::TempDir dir;
    const std::string path = dir.file("missing-dir/land.lnd");
    IoResult r = writeFileAtomic(path, std::vector<std::uint8_t>(10, 1));
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("missing-dir/land.lnd"), std::string::npos);

    // A directory standing where the file should be: rename fails, nothing is lost.
    const std::string blocked = dir.file("blocked");
    std::filesystem::create_directory(blocked);
    lndtest::writeBytes(blocked + "/keep", {9});
    EXPECT_FALSE(writeFileAtomic(blocked, std::vector<std::uint8_t>(10, 1)));
    EXPECT_EQ(lndtest::readBytes(blocked + "/keep"), std::vector<std::uint8_t>{9});
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);  // no temporary left behind
}

TEST(FileIo, ReadWholeFileReportsMissingFilesAndDirectories) {
    lndtest::TempDir dir;
    std::vector<std::uint8_t> out;
    IoResult missing = readWholeFile(dir.file("nope.lnd"), out);
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.message.find("nope.lnd"), std::string::npos);
    EXPECT_FALSE(readWholeFile(dir.path(), out));
    lndtest::writeBytes(dir.file("big"), std::vector<std::uint8_t>(50, 1));
    EXPECT_FALSE(readWholeFile(dir.file("big"), out, 49));
    ASSERT_TRUE(readWholeFile(dir.file("big"), out, 50));
    EXPECT_EQ(out.size(), 50u);
}
