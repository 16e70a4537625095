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
    Result r = writeFileAtomic(path, std::vector<std::uint8_t>(10, 1));
    EXPECT_FALSE(r);
    EXPECT_NE(r.message().find("missing-dir/land.lnd"), std::string::npos);

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
    Result missing = readWholeFile(dir.file("nope.lnd"), out);
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.message().find("nope.lnd"), std::string::npos);
    EXPECT_FALSE(readWholeFile(dir.path(), out));
    lndtest::writeBytes(dir.file("big"), std::vector<std::uint8_t>(50, 1));
    EXPECT_FALSE(readWholeFile(dir.file("big"), out, 49));
    ASSERT_TRUE(readWholeFile(dir.file("big"), out, 50));
    EXPECT_EQ(out.size(), 50u);
}

// ---- Failures at every step of a save -----------------------------------------------------

#include "base/file_io_faults.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

int entriesIn(const std::string& dir) {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

struct FaultGuard {
    ~FaultGuard() { clearIoFaults(); }
};

}  // namespace

TEST(FileIo, EveryFailingStepKeepsThePreviousFileAndLeavesNoTemporary) {
    FaultGuard guard;
    const std::vector<std::uint8_t> before(1000, 0x11);
    const std::vector<std::uint8_t> after(3 * kWriteChunkBytes + 5, 0x22);

    // How many calls of each step a clean save makes.
    lndtest::TempDir probe;
    clearIoFaults();
    ASSERT_TRUE(writeFileAtomic(probe.file("f"), after));
    ASSERT_EQ(ioStepCalls(IoStep::Write), 4);

    for (int err : {ENOSPC, EIO, EACCES}) {
        for (IoStep step : {IoStep::Write, IoStep::Flush, IoStep::Sync, IoStep::Rename}) {
            clearIoFaults();
            ASSERT_TRUE(writeFileAtomic(probe.file("f"), after));
            const int calls = ioStepCalls(step);
            for (int n = 1; n <= calls; ++n) {
                SCOPED_TRACE(std::string(ioStepName(step)) + " #" + std::to_string(n) + " errno " +
                             std::to_string(err));
                lndtest::TempDir dir;
                const std::string path = dir.file("land.lnd");
                lndtest::writeBytes(path, before);
                clearIoFaults();
                injectIoFault(step, n, err);
                const Result r = writeFileAtomic(path, after);
                EXPECT_FALSE(r);
                EXPECT_NE(r.message().find(std::strerror(err)), std::string::npos) << r.message();
                EXPECT_EQ(lndtest::readBytes(path), before);
                EXPECT_EQ(entriesIn(dir.path()), 1);
            }
        }
    }
    // A temporary that cannot be made and no file to write in place: nothing is created.
    lndtest::TempDir dir;
    clearIoFaults();
    injectIoFault(IoStep::CreateTemp, 1, EACCES);
    EXPECT_FALSE(writeFileAtomic(dir.file("new.lnd"), after));
    EXPECT_EQ(entriesIn(dir.path()), 0);
}

TEST(FileIo, SavingKeepsLinksModesAndWritesInPlaceWhereNoTemporaryCanBeMade) {
    FaultGuard guard;
    const std::vector<std::uint8_t> before(5000, 0x33);
    const std::vector<std::uint8_t> longer(2 * kWriteChunkBytes + 7, 0x44);
    const std::vector<std::uint8_t> shorter(10, 0x55);

    enum class Link { None, Relative, Absolute, Chain };
    struct Case {
        const char* name;
        Link link;
        mode_t mode;
        bool noTemporary;   // the directory refuses new files (EACCES on the temporary)
        int failAt;         // > 0: that call of failStep fails with EIO, and the save with it
        IoStep failStep;
        const std::vector<std::uint8_t>* data;
    };
    const Case cases[] = {
        {"plain file keeps 0640", Link::None, 0640, false, 0, IoStep::Write, &longer},
        {"relative link", Link::Relative, 0600, false, 0, IoStep::Write, &longer},
        {"absolute link", Link::Absolute, 0644, false, 0, IoStep::Write, &shorter},
        {"chain of links", Link::Chain, 0604, false, 0, IoStep::Write, &longer},
        {"link, failing rename", Link::Relative, 0644, false, 1, IoStep::Rename, &longer},
        {"in place, longer", Link::None, 0640, true, 0, IoStep::Write, &longer},
        {"in place, shorter, via link", Link::Relative, 0600, true, 0, IoStep::Write, &shorter},
        {"in place, second write fails", Link::None, 0644, true, 2, IoStep::Write, &longer},
        {"in place, sync fails", Link::Chain, 0644, true, 1, IoStep::Sync, &shorter},
        {"in place, close fails", Link::Absolute, 0644, true, 1, IoStep::Flush, &longer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lndtest::TempDir dir;
        std::filesystem::create_directory(dir.file("real"));
        const std::string real = dir.file("real/land.lnd");
        lndtest::writeBytes(real, before);
        ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
        std::string path = real;
        if (c.link == Link::Relative) {
            path = dir.file("link.lnd");
            std::filesystem::create_symlink("real/land.lnd", path);
        } else if (c.link == Link::Absolute) {
            path = dir.file("link.lnd");
            std::filesystem::create_symlink(real, path);
        } else if (c.link == Link::Chain) {
            std::filesystem::create_symlink("real/land.lnd", dir.file("first.lnd"));
            path = dir.file("second.lnd");
            std::filesystem::create_symlink("first.lnd", path);
        }
        const int entries = entriesIn(dir.path()) + entriesIn(dir.file("real"));
        clearIoFaults();
        if (c.noTemporary) injectIoFault(IoStep::CreateTemp, 1, EACCES);
        if (c.failAt > 0) injectIoFault(c.failStep, c.failAt, EIO);
        const Result r = writeFileAtomic(path, *c.data);
        EXPECT_EQ(bool(r), c.failAt == 0) << r.message();
        EXPECT_EQ(lndtest::readBytes(real), c.failAt == 0 ? *c.data : before);
        if (c.link != Link::None) {
            EXPECT_TRUE(std::filesystem::is_symlink(path));
        }
        struct stat st {};
        ASSERT_EQ(::stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(entriesIn(dir.path()) + entriesIn(dir.file("real")), entries);
    }
}
