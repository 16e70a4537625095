// Texts the editor window builds: the help launch failure and the clipboard coordinates.
#pragma once

#include <string>

namespace lnd {

inline constexpr const char* kHelpFile = "./helpfiles/help.html";

// The launcher's codes the window produces itself for a help file it cannot open.
inline constexpr int kLaunchFileNotFound = 2;
inline constexpr int kLaunchPathNotFound = 3;
inline constexpr int kLaunchFailed = 1;   // the desktop refused; not one of the listed codes

// The message for a failed help launch with `code`, run in `currentDir` (cut to 255
// characters); `file` is the file that could not be opened.
std::string helpFailureText(const std::string& currentDir, int code, const std::string& file = kHelpFile);

// The launch code for the help file as seen from `currentDir`: 0 when it exists, else the
// file or path not-found code.
int helpFileState(const std::string& currentDir);

// "%4.2f,%4.2f" of x and z.
std::string coordsText(float x, float z);

}  // namespace lnd
