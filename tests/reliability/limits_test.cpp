// The largest land the format holds, lands that lie about themselves, and a save killed at
// any moment.
#include "base/messages.h"
#include "support/recording_messages.h"
#include "format/lnd_file.h"
#include "support/land_builder.h"
#include "support/run_program.h"
#include "view/terrain_land.h"

#include "session/shell_words.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace lnd;

namespace {

struct ChildRun {
    int status = 0;
    long peakKb = 0;
    double seconds = 0;
};

// Starts a program; when `killAfter` is set, kills it with SIGKILL after that long.
ChildRun runAndMaybeKill(const std::vector<std::string>& argv, std::chrono::microseconds killAfter = {}) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        (void)!::freopen("/dev/null", "w", stderr);
        (void)!::freopen("/dev/null", "w", stdout);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (killAfter.count() > 0) {
        std::this_thread::sleep_for(killAfter);
        ::kill(pid, SIGKILL);
    }
    ChildRun r;
    struct rusage usage {};
    ::wait4(pid, &r.status, 0, &usage);
    r.peakKb = usage.ru_maxrss;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

std::string lndtoolPath() { return lndtest::programPath("src/lndtool/lndtool"); }

bool validates(const std::string& path) {
    const ChildRun r = runAndMaybeKill({lndtoolPath(), "validate", path});
    return WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0;
}

std::vector<std::uint8_t> largestLand() {
    lndtest::LandBuilder b;
    b.countries(15).materials(40).loResTextures(64);
    for (int k = 0; k < 255; ++k) {
        const int square = (k * 7) % 1024;   // spread over the whole grid, each square once
        b.block(square / 32, square % 32, [k](TLndBlock& blk) {
            for (auto& row : blk.Cells)
                for (TLndCell& c : row) c.CellFlags = std::uint16_t(k % 15);
        });
    }
    return b.build();
}

}  // namespace

// 255 blocks, 15 countries, 40 materials and 64 low-resolution textures: validated, edited with
// a brush, saved whole (every block texture synthesised), with the memory the save takes.
TEST(Limits, TheLargestLandLoadsEditsAndSaves) {
    lndtest::TempDir dir;
    const std::string in = dir.file("largest.lnd");
    lndtest::writeBytes(in, largestLand());
    ASSERT_TRUE(validates(in));
    const std::string xml = "<settings><landEdit><brushes><brush bmp=\"h.bmp\" name=\"Hill\" tip=\"t\">5 4 3 2 1"
                            "</brush></brushes></landEdit></settings>";
    lndtest::writeBytes(dir.file("s.xml"), std::vector<std::uint8_t>(xml.begin(), xml.end()));

    const ChildRun edit = runAndMaybeKill({lndtoolPath(), "brush", in, "--settings", dir.file("s.xml"), "--brush", "Hill",
                                      "--at", "1200,1200", "--steps", "5", "-o", dir.file("edited.lnd")});
    ASSERT_TRUE(WIFEXITED(edit.status) && WEXITSTATUS(edit.status) == 0);
    ASSERT_TRUE(validates(dir.file("edited.lnd")));
    EXPECT_NE(lndtest::readBytes(dir.file("edited.lnd")), lndtest::readBytes(in));

    const ChildRun full = runAndMaybeKill({lndtoolPath(), "resave", dir.file("edited.lnd"), "-o", dir.file("saved.lnd")});
    ASSERT_TRUE(WIFEXITED(full.status) && WEXITSTATUS(full.status) == 0);
    ASSERT_TRUE(validates(dir.file("saved.lnd")));
    std::vector<std::uint8_t> saved = lndtest::readBytes(dir.file("saved.lnd"));
    LndView view;
    ASSERT_TRUE(view.open(saved));
    EXPECT_EQ(view.blockCount(), 255);
    EXPECT_EQ(view.layout().numCountries, 15);
    EXPECT_EQ(view.layout().numMaterials, 40);
    EXPECT_EQ(view.layout().numLoResTextures, 64u);
    std::printf("largest land: %zu bytes; full resave %.2f s, peak resident %ld KiB\n", saved.size(), full.seconds,
                full.peakKb);
    RecordProperty("resave_peak_kib", int(full.peakKb));
#if !defined(__SANITIZE_ADDRESS__)
    // The file image, a copy for writing and the device's textures and meshes: a few times
    // the file (the sanitizer build's shadow memory and quarantine are not counted on).
    EXPECT_LT(full.peakKb, 1024L * 1024L);
#endif
}

// Files that lie: every reader refuses them or carries them without reading past their end;
// the editor's load either refuses with its message or holds a land that saves again.
TEST(Limits, LyingLandsAreRefusedOrCarriedSafely) {
    const std::vector<std::uint8_t> sound = lndtest::LandBuilder().block(3, 4).block(3, 5).loResTextures(2).build();
    LndLayout layout;
    ASSERT_TRUE(checkImage(sound, layout));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto header = [](std::function<void(TLndHeader&)> edit) {
        return [edit](std::vector<std::uint8_t>& b) { edit(*recordAt<TLndHeader>(b.data(), 0)); };
    };
    auto firstBlock = [layout](std::function<void(TLndBlock&)> edit) {
        return [edit, layout](std::vector<std::uint8_t>& b) { edit(*recordAt<TLndBlock>(b.data(), layout.blocksOffset)); };
    };
    auto firstLoRes = [layout](std::function<void(TLndLoResTex&)> edit) {
        return [edit, layout](std::vector<std::uint8_t>& b) { edit(*recordAt<TLndLoResTex>(b.data(), layout.loResOffset)); };
    };
    struct Case {
        std::string name;
        std::function<void(std::vector<std::uint8_t>&)> edit;
        bool loads;
    };
    std::vector<Case> cases = {
        {"billions of textures", header([](TLndHeader& h) { h.NumLoResTextures = 0xFFFFFFFFu; }), false},
        {"largest counts", header([](TLndHeader& h) {
             h.NumBlocks = std::numeric_limits<std::int32_t>::max();
             h.NumCountries = h.NumMaterials = std::numeric_limits<std::int32_t>::max();
         }), false},
        {"products past 32 bits", header([](TLndHeader& h) { h.NumMaterials = 32769; h.NumCountries = 1396237; }), false},
        {"negative blocks", header([](TLndHeader& h) { h.NumBlocks = -5; }), false},
        {"no block count", header([](TLndHeader& h) { h.NumBlocks = 0; }), false},
        {"negative countries", header([](TLndHeader& h) { h.NumCountries = -1; }), false},
        {"negative materials", header([](TLndHeader& h) { h.NumMaterials = std::numeric_limits<std::int32_t>::min(); }), false},
        {"index names a missing record", header([](TLndHeader& h) { h.BlockIndex[9][9] = 3; }), false},
        {"texture size too big", firstLoRes([](TLndLoResTex& t) { t.DdsSize = 1 << 30; }), true},
        {"texture size negative", firstLoRes([](TLndLoResTex& t) { t.DdsSize = -65664; }), true},
        {"DDS header claims a huge surface", firstLoRes([](TLndLoResTex& t) {
             std::int32_t side = 1 << 20;
             std::memcpy(t.DdsHeader + 8, &side, 4);
             std::memcpy(t.DdsHeader + 12, &side, 4);
         }), true},
        {"DDS header of another format", firstLoRes([](TLndLoResTex& t) { std::memset(t.DdsHeader + 80, 0xFF, 4); }), true},
        {"NaN position", firstBlock([nan](TLndBlock& b) { b.MapX = nan; b.MapZ = nan; }), true},
        {"huge position", firstBlock([](TLndBlock& b) { b.MapX = 3.0e38f; b.MapZ = -3.0e38f; }), true},
        {"grid outside the map", firstBlock([](TLndBlock& b) { b.GridX = -40000; b.GridZ = 1 << 30; }), true},
        {"tile outside its texture", firstBlock([](TLndBlock& b) {
             b.LoResTexture = 1000;
             b.LoResX = -64;
             b.LoResY = 1 << 20;
         }), true},
        {"country beyond the table", firstBlock([](TLndBlock& b) { b.Cells[3][3].CellFlags = 0xFFFF; }), true},
    };
    // Cut short at every section boundary and one byte either side.
    const std::size_t bounds[] = {0, kHeaderSize, layout.blocksOffset, layout.countriesOffset,
                                  layout.materialsOffset, layout.noiseOffset, layout.bumpOffset};
    for (std::size_t at : bounds) {
        for (std::size_t cut : {at, at + 1, at > 0 ? at - 1 : 0}) {
            if (cut >= sound.size()) continue;
            cases.push_back({"cut at " + std::to_string(cut), [cut](std::vector<std::uint8_t>& b) { b.resize(cut); }, false});
        }
    }

    lndtest::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = sound;
        c.edit(bytes);
        const std::string path = dir.file("lying.lnd");
        lndtest::writeBytes(path, bytes);
        LndView view;
        EXPECT_EQ(bool(view.open(bytes)), c.loads);
        EXPECT_EQ(validates(path), c.loads);

        HeadlessLand held;
        const Result opened = held.open(path);
        EXPECT_EQ(opened.ok(), c.loads);
        if (!opened) {
            // The reason for the command line, the editor's fixed text for the window.
            EXPECT_NE(opened.message().find(path), std::string::npos) << opened.message();
            EXPECT_EQ(openFailureText(path, opened), "Error reading the file " + path);
            continue;
        }
        for (SaveKind kind : {SaveKind::Quick, SaveKind::Full}) {
            ASSERT_TRUE(held.save(dir.file("resaved.lnd"), kind));
            LndLayout again;
            if (c.loads) {
                EXPECT_TRUE(checkImage(lndtest::readBytes(dir.file("resaved.lnd")), again, ImageCheck::Structure));
            }
        }
    }
}

// A resave killed with SIGKILL at moments spread over its whole run leaves the target either
// as it was or complete, and always a valid land.
TEST(Limits, AKilledSaveLeavesTheOldFileOrTheCompleteNewOne) {
    lndtest::TempDir dir;
    const std::string in = dir.file("in.lnd"), target = dir.file("target.lnd"), reference = dir.file("reference.lnd");
    const ChildRun made = runAndMaybeKill({lndtest::programPath("tests/support/make_test_land"), in, "255"});
    ASSERT_TRUE(WIFEXITED(made.status) && WEXITSTATUS(made.status) == 0);
    const std::vector<std::uint8_t> old = lndtest::LandBuilder().block(0, 0).build();

    const ChildRun clean = runAndMaybeKill({lndtoolPath(), "resave", in, "--quick", "-o", reference});
    ASSERT_TRUE(WIFEXITED(clean.status) && WEXITSTATUS(clean.status) == 0);
    const std::vector<std::uint8_t> complete = lndtest::readBytes(reference);
    ASSERT_NE(complete, old);

    const auto budget = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    int kills = 0, sawOld = 0, sawNew = 0;
    // At least eight rounds even where the programs run slowly (sanitizer builds).
    for (int k = 0; k < 60 && (k < 8 || std::chrono::steady_clock::now() < budget); ++k) {
        lndtest::writeBytes(target, old);
        // Golden-ratio steps spread the moments evenly over 0 .. 1.2 times a clean run.
        const double fraction = std::fmod(0.618034 * (k + 1), 1.0) * 1.2;
        const auto delay = std::chrono::microseconds(std::max<long>(1, long(clean.seconds * 1e6 * fraction)));
        const ChildRun r = runAndMaybeKill({lndtoolPath(), "resave", in, "--quick", "-o", target}, delay);
        if (WIFSIGNALED(r.status)) ++kills;
        const std::vector<std::uint8_t> now = lndtest::readBytes(target);
        ASSERT_TRUE(now == old || now == complete) << "after " << delay.count() << " us: " << now.size() << " bytes";
        (now == old ? sawOld : sawNew)++;
        ASSERT_TRUE(validates(target));
        // A killed save may leave its temporary behind; it never has the target's name.
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind(".lnd-save-", 0) == 0) fs::remove(e.path());
    }
    std::printf("killed %d resaves: %d left the old file, %d the new one\n", kills, sawOld, sawNew);
    EXPECT_GE(kills, 4);
    EXPECT_GT(sawOld, 0);
}
