// Where the toolkit's data files are found, so the programs start from any folder.
//
// A data file is named by a path relative to the start directory, as the settings file, the
// help and Clayvane's files always were. It is looked up in the start directory first (a
// working folder's own files win), then, for the settings file only, in the user's
// configuration folder, then in the install's share folder, found beside the program
// (<program folder>/../share/landtoolkit), so an install that is moved as a whole still
// finds its data. A build tree has a share folder of the same shape that points into the
// repository.
#pragma once

#include <string>
#include <vector>

namespace lnd {

// The one folder name of the toolkit under share/ and the configuration folder.
inline constexpr const char* kProjectFolder = "landtoolkit";

// The places searched, in order. Any of them may be empty (no such place) or name a folder
// that does not exist.
struct DataPlaces {
    std::string start;    // the start directory
    std::string config;   // $XDG_CONFIG_HOME/landtoolkit, or ~/.config/landtoolkit
    std::string share;    // <program folder>/../share/landtoolkit

    // The places of this process: the working directory, the environment's configuration
    // folder and the folder of /proc/self/exe.
    static DataPlaces ofProcess();
};

// The configuration folder for the environment values given (XDG_CONFIG_HOME wins when it is
// an absolute path, else HOME/.config); empty when neither gives one.
std::string configFolder(const char* xdgConfigHome, const char* home);

// The share folder of a program at `executable`: its folder's parent, then share/landtoolkit.
std::string shareFolderOf(const std::string& executable);

// The settings file chosen for a program, and what was passed over on the way.
struct SettingsChoice {
    // The file to read. When no place has one, the start directory's name (so the settings
    // object reports it missing and the program runs on its defaults, as without a search).
    std::string path;
    bool found = false;
    // One sentence each: a configuration-folder file that could not be used (unreadable or
    // not well-formed) and, when nothing was found, what was looked for where.
    std::vector<std::string> notes;
    // The configuration-folder file that was passed over, empty when none.
    std::string rejected;
};

// Looks for `fileName` (kSettingsFileName for the editor): the start directory's file as it
// is, else the configuration folder's when it reads as XML, else the share folder's.
SettingsChoice findSettingsFile(const DataPlaces& places, const std::string& fileName);

// A data file named relative to the start directory: `relative` itself when it is absolute or
// exists from the start directory, else the same path under the share folder when it exists
// there; empty when neither has it. "./" at its front and '\' separators are accepted.
std::string findDataFile(const DataPlaces& places, const std::string& relative);

// The media folder to search for `fileName` (its last path part) in: `mediaDir` as given,
// unless only the share folder holds the file under it, then that folder of the share folder.
std::string mediaFolderHolding(const DataPlaces& places, const std::string& mediaDir, const std::string& fileName);

// The folder, of the start directory and the share folder, that holds at least one of
// `names`; the start directory when neither does. `note` receives a sentence naming what was
// not found when the share folder had to be asked and does not exist or lacks the files.
std::string findDataFolder(const DataPlaces& places, const std::vector<std::string>& names, std::string* note);

}  // namespace lnd
