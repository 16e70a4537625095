// Every writer under failing disks: the n-th write, the flush, the sync or the rename of a
// save fails with ENOSPC, EIO or EACCES. Each time the user hears of it, the previous file
// keeps its bytes and no temporary is left beside it.
#include "base/file_io.h"
#include "base/file_io_faults.h"
#include "base/messages.h"
#include "support/recording_messages.h"
#include "codec/bmp_writer.h"
#include "codec/dds.h"
#include "codec/image.h"
#include "sculpt/render_target.h"
#include "sculpt/sculpt_support.h"
#include "support/land_builder.h"
#include "support/run_program.h"
#include "tools/block_deletion.h"
#include "view/terrain_land.h"

#include "support/editor_land.h"

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using namespace lnd;

namespace {

const IoStep kSteps[] = {IoStep::Write, IoStep::Flush, IoStep::Sync, IoStep::Rename};
const int kErrors[] = {ENOSPC, EIO, EACCES};
const char* errorName(int err) { return err == ENOSPC ? "ENOSPC" : err == EIO ? "EIO" : "EACCES"; }

// Every file under a directory with its bytes: what must survive a failed save unchanged
// (temporaries would show up as new names).
std::map<std::string, std::vector<std::uint8_t>> snapshot(const std::string& dir) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = lndtest::readBytes(e.path().string());
    return files;
}

std::vector<std::uint8_t> smallLand() {
    lndtest::LandBuilder b;
    b.countries(2).materials(3).loResTextures(1);
    for (int gx = 1; gx < 3; ++gx)
        for (int gz = 1; gz < 3; ++gz) b.block(gx, gz);
    return b.build();
}

struct FaultGuard {
    ~FaultGuard() { clearIoFaults(); }
};

}  // namespace

// CLand::Save in its three forms, in-process, for every call of every step and every errno.
TEST(SaveFaults, LandSaveKeepsThePreviousFileAndTheLandModified) {
    FaultGuard guard;
    lndtest::TempDir dir;
    const std::string source = dir.file("source.lnd");
    lndtest::writeBytes(source, smallLand());

    struct Form {
        const char* name;
        SaveKind kind;
        bool deleteBlock;
    };
    for (const Form form : {Form{"quick", SaveKind::Quick, false}, Form{"full", SaveKind::Full, false},
                           Form{"compacting", SaveKind::Quick, true}}) {
        lndtest::EditorLand held;   // saves as the shells do, the texts they show recorded
        RecordingMessages& messages = held.messages;
        ASSERT_TRUE(held.open(source));
        if (form.deleteBlock) {
            held.tool.block = 0;
            ASSERT_TRUE(DeleteCursorBlock(held.land, held.mesh, held.tool.block));
        }
        const std::string target = dir.file(std::string("target-") + form.name + ".lnd");
        const std::vector<std::uint8_t> previous(4321, 0x5A);

        // A clean save to learn how many calls of each step it makes and what it writes.
        clearIoFaults();
        ASSERT_TRUE(held.save(dir.file("probe.lnd"), form.kind));
        std::map<IoStep, int> calls;
        for (IoStep s : kSteps) calls[s] = ioStepCalls(s);
        ASSERT_GE(calls[IoStep::Write], 3) << form.name;   // several pieces: every n matters
        const std::vector<std::uint8_t> expected = lndtest::readBytes(dir.file("probe.lnd"));
        fs::remove(dir.file("probe.lnd"));

        for (int err : kErrors) {
            for (IoStep step : kSteps) {
                for (int n = 1; n <= calls[step]; ++n) {
                    SCOPED_TRACE(std::string(form.name) + " " + ioStepName(step) + " #" + std::to_string(n) + " " +
                                 errorName(err));
                    lndtest::writeBytes(target, previous);
                    const auto before = snapshot(dir.path());
                    messages.clear();
                    held.land.markModified();
                    clearIoFaults();
                    injectIoFault(step, n, err);
                    const Result saved = held.save(target, form.kind);
                    EXPECT_FALSE(saved);
                    // The reason names the system's error, for the command line and logs.
                    EXPECT_EQ(saved.systemError(), err);
                    EXPECT_NE(saved.message().find(std::strerror(err)), std::string::npos) << saved.message();
                    const std::vector<std::string> texts = messages.texts();
                    EXPECT_NE(std::find(texts.begin(), texts.end(), "Problems saving the file "), texts.end());
                    EXPECT_TRUE(held.land.modified());
                    EXPECT_EQ(snapshot(dir.path()), before);
                }
            }
        }
        // And with the disk well again the same land saves what the clean run saved.
        clearIoFaults();
        ASSERT_TRUE(held.save(target, form.kind));
        EXPECT_EQ(lndtest::readBytes(target), expected) << form.name;
        EXPECT_FALSE(held.land.modified());
    }
}

// Clayvane's save through the same seam: its message, and the previous file kept.
TEST(SaveFaults, ClayvaneSaveKeepsThePreviousFile) {
    FaultGuard guard;
    lndtest::TempDir dir;
    clay::CNullTarget rt;
    auto app = sculpttest::Started(smallLand(), rt);
    ASSERT_TRUE(app);
    sculpttest::CRecordingShell shell;
    clearIoFaults();
    ASSERT_TRUE(app->Save(dir.file("probe.lnd"), shell));
    std::map<IoStep, int> calls;
    for (IoStep s : kSteps) calls[s] = ioStepCalls(s);
    fs::remove(dir.file("probe.lnd"));
    const std::string target = dir.file("target.lnd");
    lndtest::writeBytes(target, std::vector<std::uint8_t>(999, 0x99));
    const auto before = snapshot(dir.path());
    int runs = 0;
    for (int err : kErrors) {
        for (IoStep step : kSteps) {
            for (int n = 1; n <= calls[step]; ++n, ++runs) {
                SCOPED_TRACE(std::string(ioStepName(step)) + " #" + std::to_string(n) + " " + errorName(err));
                shell.errors.clear();
                clearIoFaults();
                injectIoFault(step, n, err);
                EXPECT_FALSE(app->Save(target, shell));
                ASSERT_EQ(shell.errors.size(), 1u);
                EXPECT_EQ(shell.errors[0].rfind("Clayvane could not save the land: ", 0), 0u) << shell.errors[0];
                EXPECT_NE(shell.errors[0].find(std::strerror(err)), std::string::npos) << shell.errors[0];
                EXPECT_EQ(snapshot(dir.path()), before);
            }
        }
    }
    EXPECT_GE(runs, 3 * 6);
}

// Every output of lndtool and Strakmill's raw image, as separate programs with the fault set
// in their environment. For each step, n runs up from 1 until the program makes fewer calls
// than n (then it succeeds); the errno changes from run to run.
TEST(SaveFaults, EveryProgramOutputReportsTheFailureAndKeepsThePreviousFile) {
    lndtest::TempDir dir;
    const std::string land = dir.file("in.lnd");
    lndtest::writeBytes(land, smallLand());
    CImage32 picture(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = picture.pixel(x, y);
            p[0] = 255, p[1] = std::uint8_t(x), p[2] = std::uint8_t(y), p[3] = std::uint8_t(x ^ y);
        }
    lndtest::writeBytes(dir.file("in.bmp"), encodeBmp(picture));
    DdsImage dds;
    dds.width = dds.height = 8;
    dds.data.assign(ddsDataBytes(DdsKind::Dxt3, 8, 8), 0x3C);
    lndtest::writeBytes(dir.file("in.dds"), encodeDds(dds));
    // Brushes only: a full save with the shipped settings would also export pictures.
    const std::string settings = dir.file("s.xml");
    {
        const std::string xml = "<settings><landEdit><brushes><brush bmp=\"h.bmp\" name=\"Hill\" tip=\"t\">"
                                "5 4 3 2 1</brush></brushes></landEdit></settings>";
        lndtest::writeBytes(settings, std::vector<std::uint8_t>(xml.begin(), xml.end()));
    }
    const std::string script = dir.file("edit.txt");
    {
        const std::string text = "level-map 40\ndelete-block 1,2\n";
        lndtest::writeBytes(script, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    struct Output {
        const char* name;
        std::vector<std::string> args;   // lndtool's arguments; empty: Strakmill
        const char* out;                 // the file (or, for export, the folder) written
    };
    const Output outputs[] = {
        {"resave full", {"resave", land, "-o", "OUT"}, "out.lnd"},
        {"resave quick", {"resave", land, "--quick", "-o", "OUT"}, "out.lnd"},
        {"delete-block", {"delete-block", land, "--square", "1,2", "-o", "OUT"}, "out.lnd"},
        {"brush", {"brush", land, "--settings", settings, "--brush", "Hill", "--at", "240,240", "-o", "OUT"}, "out.lnd"},
        {"import-noise", {"import-noise", land, dir.file("in.bmp"), "-o", "OUT"}, "out.lnd"},
        {"new", {"new", "--size", "3", "-o", "OUT"}, "out.lnd"},
        {"dump", {"dump", land, "--data", "altitude", "-o", "OUT"}, "out.raw"},
        {"synth", {"synth", land, "--block", "2", "-o", "OUT"}, "out.bmp"},
        {"compress", {"compress", dir.file("in.bmp"), "-o", "OUT"}, "out.dds"},
        {"decompress", {"decompress", dir.file("in.dds"), "-o", "OUT"}, "out.png"},
        {"export", {"export", land, "--root", "OUT"}, "exports"},
        {"edit", {"edit", land, "--quick", "--script", script, "-o", "OUT"}, "out.lnd"},
        {"heightmap export", {"heightmap", "export", land, "--bits", "16", "-o", "OUT"}, "out.png"},
        {"heightmap import", {"heightmap", "import", land, dir.file("in.bmp"), "--fit", "-o", "OUT"}, "out.lnd"},
        {"render-map", {"render-map", land, "--size", "64", "-o", "OUT"}, "out.png"},
        {"Strakmill raw image", {}, "out.raw"},
    };
    int runs = 0, errIndex = 0;
    for (const Output& o : outputs) {
        lndtest::TempDir work;
        const std::string out = work.file(o.out);
        std::vector<std::string> args = o.args;
        std::replace(args.begin(), args.end(), std::string("OUT"), out);
        auto run = [&] {
            ++runs;
            if (!o.args.empty()) return lndtest::runLndtool(args, "", work.path());
            // Replacing an existing image takes a confirmation.
            return lndtest::runProgram(lndtest::programPath("src/dumper/Strakmill"), {},
                                       land + "\n1\n" + out + (fs::exists(out) ? "\ny" : "") + "\nn\n",
                                       work.path());
        };
        // The previous output: what a clean run makes, then made recognisable where it is one file.
        unsetenv("LND_TEST_IO_FAULT");
        const lndtest::ProgramResult clean = run();
        ASSERT_EQ(clean.exitCode, 0) << o.name << ": " << clean.err;
        if (fs::is_regular_file(out)) lndtest::writeBytes(out, std::vector<std::uint8_t>(777, 0x77));
        const auto before = snapshot(work.path());

        for (IoStep step : kSteps) {
            for (int n = 1;; ++n) {
                const int err = kErrors[errIndex++ % 3];
                SCOPED_TRACE(std::string(o.name) + " " + ioStepName(step) + " #" + std::to_string(n) + " " +
                             errorName(err));
                ASSERT_LT(n, 50);
                setenv("LND_TEST_IO_FAULT", (std::string(ioStepName(step)) + ":" + std::to_string(n) + ":" +
                                             errorName(err)).c_str(), 1);
                const lndtest::ProgramResult r = run();
                unsetenv("LND_TEST_IO_FAULT");
                const bool failed = o.args.empty() ? r.out.find("Error ") != std::string::npos : r.exitCode != 0;
                if (!failed) {
                    ASSERT_GT(n, 1) << "the first " << ioStepName(step) << " was never reached";
                    // Restore the recognisable previous output for the next step.
                    if (fs::is_regular_file(out)) lndtest::writeBytes(out, std::vector<std::uint8_t>(777, 0x77));
                    break;
                }
                // The reason reaches the user: lndtool names it, Strakmill gives its number.
                if (!o.args.empty()) {
                    EXPECT_NE(r.err.find("lndtool: "), std::string::npos) << r.err;
                    EXPECT_NE(r.err.find(std::strerror(err)), std::string::npos) << r.err;
                } else {
                    EXPECT_NE(r.out.find("Error " + std::to_string(err) + " "), std::string::npos) << r.out;
                }
                EXPECT_EQ(snapshot(work.path()), before);
            }
        }
    }
    RecordProperty("program_runs", runs);
}
