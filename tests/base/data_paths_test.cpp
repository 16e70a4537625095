// The search for data files: start directory, configuration folder (settings only), the
// install's share folder; and what is said about files passed over and places missing.
#include "base/data_paths.h"

#include "support/land_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace lnd;
namespace fs = std::filesystem;

namespace {

const std::vector<std::uint8_t> kGoodXml = {'<', 's', 'e', 't', 't', 'i', 'n', 'g', 's', '/', '>'};
const std::vector<std::uint8_t> kBadXml = {'<', 's', 'e', 't', 't', 'i', 'n', 'g', 's', '>', '<', 'a'};

// A start directory, a configuration folder and a share folder in a scratch directory.
struct Places {
    lndtest::TempDir dir;
    DataPlaces places;
    Places() {
        places = {dir.file("start"), dir.file("config/landtoolkit"), dir.file("prefix/share/landtoolkit")};
        fs::create_directories(places.start);
        fs::create_directories(places.config);
        fs::create_directories(places.share);
    }
    void put(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        fs::create_directories(fs::path(folder + "/" + name).parent_path());
        lndtest::writeBytes(folder + "/" + name, bytes);
    }
};

bool anyNoteHas(const SettingsChoice& c, const std::string& text) {
    for (const std::string& n : c.notes)
        if (n.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(DataPaths, ConfigAndShareFoldersOfTheEnvironmentAndProgram) {
    EXPECT_EQ(configFolder("/x/cfg", "/home/u"), "/x/cfg/landtoolkit");
    EXPECT_EQ(configFolder("relative", "/home/u"), "/home/u/.config/landtoolkit");   // relative values are ignored
    EXPECT_EQ(configFolder("", "/home/u"), "/home/u/.config/landtoolkit");
    EXPECT_EQ(configFolder(nullptr, "/home/u"), "/home/u/.config/landtoolkit");
    EXPECT_EQ(configFolder(nullptr, nullptr), "");
    EXPECT_EQ(configFolder(nullptr, ""), "");
    EXPECT_EQ(shareFolderOf("/opt/lt/bin/Vostrel"), "/opt/lt/share/landtoolkit");
    EXPECT_EQ(shareFolderOf("/work/build/src/lndtool/lndtool"), "/work/build/src/share/landtoolkit");
    EXPECT_EQ(shareFolderOf(""), "");
    const DataPlaces self = DataPlaces::ofProcess();
    EXPECT_EQ(self.start, fs::current_path().string());
    EXPECT_NE(self.share.find("/share/landtoolkit"), std::string::npos) << self.share;
}

TEST(DataPaths, SettingsFileSearchOrderAndWhatIsSaid) {
    const std::string name = "Vostrel.settings.xml";
    struct Case {
        const char* what;
        const char* start;    // "", "good", "bad": the start directory's file
        const char* config;   // "", "good", "bad", "folder"
        bool share;           // the share folder holds one
        bool shareFolder;     // the share folder exists at all
        const char* chosen;   // "start", "config", "share"
        bool found;
        const char* note;     // a text one note must hold ("" for no notes)
    };
    const Case cases[] = {
        {"start wins", "good", "good", true, true, "start", true, ""},
        {"a broken start file still wins", "bad", "good", true, true, "start", true, ""},
        {"config before share", "", "good", true, true, "config", true, ""},
        {"share last", "", "", true, true, "share", true, ""},
        {"malformed config passed over", "", "bad", true, true, "share", true, "not well-formed XML"},
        {"config entry that is a folder", "", "folder", true, true, "share", true, "it is not a file"},
        {"nothing anywhere", "", "", false, true, "start", false, "built-in defaults"},
        {"no share folder", "", "", false, false, "start", false, "which does not exist"},
        {"malformed config and nothing else", "", "bad", false, false, "start", false, "not well-formed XML"},
    };
    for (const Case& c : cases) {
        Places p;
        if (!c.shareFolder) fs::remove_all(p.places.share);
        if (std::string(c.start) == "good") p.put(p.places.start, name, kGoodXml);
        if (std::string(c.start) == "bad") p.put(p.places.start, name, kBadXml);
        if (std::string(c.config) == "good") p.put(p.places.config, name, kGoodXml);
        if (std::string(c.config) == "bad") p.put(p.places.config, name, kBadXml);
        if (std::string(c.config) == "folder") fs::create_directories(p.places.config + "/" + name);
        if (c.share) p.put(p.places.share, name, kGoodXml);

        const SettingsChoice got = findSettingsFile(p.places, name);
        const std::string chosen = std::string(c.chosen) == "start"    ? p.places.start
                                   : std::string(c.chosen) == "config" ? p.places.config
                                                                       : p.places.share;
        EXPECT_EQ(got.path, chosen + "/" + name) << c.what;
        EXPECT_EQ(got.found, c.found) << c.what;
        if (c.note[0] == '\0') {
            EXPECT_TRUE(got.notes.empty()) << c.what << ": " << (got.notes.empty() ? "" : got.notes[0]);
        } else {
            EXPECT_TRUE(anyNoteHas(got, c.note)) << c.what;
        }
        const bool passedOver = std::string(c.config) == "bad" || std::string(c.config) == "folder";
        if (passedOver && std::string(c.start).empty()) {
            // The file passed over is named, and so is the one used instead when there is one.
            EXPECT_EQ(got.rejected, p.places.config + "/" + name) << c.what;
            EXPECT_TRUE(anyNoteHas(got, p.places.config + "/" + name)) << c.what;
            if (c.found) {
                EXPECT_TRUE(anyNoteHas(got, "Using " + p.places.share + "/" + name)) << c.what;
            }
        } else {
            EXPECT_EQ(got.rejected, "") << c.what;
        }
        if (!c.found) {
            EXPECT_TRUE(anyNoteHas(got, p.places.share)) << c.what;
        }
    }
}

TEST(DataPaths, DataFilesComeFromTheStartDirectoryThenTheShareFolder) {
    Places p;
    p.put(p.places.start, "data/brushes/own.bmp", {1});
    p.put(p.places.share, "data/brushes/own.bmp", {2});
    p.put(p.places.share, "data/brushes/hill.bmp", {3});
    p.put(p.places.share, "helpfiles/help.html", {4});
    p.put(p.places.config, "data/brushes/config.bmp", {5});
    p.put(p.dir.path(), "outside.bmp", {6});
    p.put(p.dir.file("prefix/share"), "escaped.bmp", {6});
    const std::string share = p.places.share;
    struct Case {
        std::string relative;
        std::string expected;
    };
    const Case cases[] = {
        {"./data/brushes/own.bmp", "./data/brushes/own.bmp"},   // the start directory's, as written
        {"./data/brushes/hill.bmp", share + "/data/brushes/hill.bmp"},
        {".\\data\\brushes\\hill.bmp", share + "/data/brushes/hill.bmp"},
        {"././helpfiles/help.html", share + "/helpfiles/help.html"},
        {"data/brushes/config.bmp", ""},           // the configuration folder holds settings only
        {"data/brushes/missing.bmp", ""},
        {"../outside.bmp", "../outside.bmp"},       // relative to the start directory, as written
        {"../escaped.bmp", ""},                     // never above the share folder
        {p.dir.file("outside.bmp"), p.dir.file("outside.bmp")},
        {p.dir.file("absent.bmp"), ""},
        {"", ""},
        {"./data/brushes", ""},                     // folders are no data files
    };
    // Relative names resolve against the start directory, which here is not the working one.
    for (const Case& c : cases) EXPECT_EQ(findDataFile(p.places, c.relative), c.expected) << c.relative;

    // The cursor model's media folder follows the file.
    p.put(p.places.share, "data/cursor.obj", {7});
    EXPECT_EQ(mediaFolderHolding(p.places, "./data", "cursor.obj"), share + "/data");
    EXPECT_EQ(mediaFolderHolding(p.places, "./data", "c:\\models\\cursor.obj"), share + "/data");
    p.put(p.places.start, "data/cursor.obj", {8});
    EXPECT_EQ(mediaFolderHolding(p.places, "./data", "cursor.obj"), "./data");
    EXPECT_EQ(mediaFolderHolding(p.places, "./data", "missing.obj"), "./data");
    EXPECT_EQ(mediaFolderHolding(p.places, "./data", ""), "./data");
}

TEST(DataPaths, ClayvaneFolderIsTheStartDirectoryWhenItHoldsEitherFile) {
    const std::vector<std::string> names = {"Brushes.txt", "Clayvane.dat"};
    Places p;
    std::string note;
    EXPECT_EQ(findDataFolder(p.places, names, &note), p.places.start);
    EXPECT_NE(note.find("Neither " + p.places.start + " nor " + p.places.share), std::string::npos) << note;
    p.put(p.places.share, "Clayvane.dat", {1});
    note.clear();
    EXPECT_EQ(findDataFolder(p.places, names, &note), p.places.share);
    EXPECT_EQ(note, "");
    p.put(p.places.start, "Brushes.txt", {2});
    EXPECT_EQ(findDataFolder(p.places, names, &note), p.places.start);
    fs::remove_all(p.places.share);
    fs::remove(p.places.start + "/Brushes.txt");
    EXPECT_EQ(findDataFolder(p.places, names, &note), p.places.start);
    EXPECT_NE(note.find(p.places.share + " does not exist"), std::string::npos) << note;
}
