// The fixed texts the shells show for what the core reports: a land that cannot be opened or
// saved, what a save noticed about the low-resolution textures, and the questions asked
// before the commands that cannot be undone. Kept here once so the window and the command
// line say the same thing; the core itself shows and asks nothing.
#pragma once

#include "base/result.h"
#include "land/land.h"

#include <string>

namespace lnd {

inline constexpr const char* kReadErrorText = "Error reading the file ";
inline constexpr const char* kSaveErrorText = "Problems saving the file ";
inline constexpr const char* kLevelQuestion = "Are you sure you like to do it ? it is not posible to undo...";
inline constexpr const char* kDeleteQuestion = "Are you sure?";
inline constexpr const char* kDeleteCaption = "delete block";
inline constexpr const char* kSaveOnExitQuestion = "Do you like to save the current file?";

// What the window shows when `path` could not be opened: the invalid-land text for a land
// whose blocks overlap, else the read error text.
std::string openFailureText(const std::string& path, const Result& result);

// A save note in the words the window shows it.
std::string saveNoteText(const SaveNote& note);

}  // namespace lnd
