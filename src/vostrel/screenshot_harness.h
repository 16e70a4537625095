// The scripted runs of Vostrel: draw a land with a fixed camera and pointer, save the first
// complete frame as a picture and, optionally, go on flying or standing for a number of
// frames and print upload counts and the frame rate.
#pragma once

#include "vostrel/land_view.h"

#include <memory>
#include <string>

namespace lnd {

class CMainFrame;

struct HarnessOptions {
    std::string shotPath;
    ScriptedView script;
    int width = 800, height = 600;
    int frames = 0;   // extra frames after the picture
    bool fly = false;
};

// Parses one option of a scripted run at argv[i] (advancing i over its value). 1 when taken,
// 0 when it is not one of them, -1 when its value is malformed.
int parseHarnessOption(int argc, char** argv, int& i, HarnessOptions& options);

// Fixes the view's size and script; call before the host starts.
void prepareHarness(CMainFrame& frame, const HarnessOptions& options);

// Takes the picture once the first frame has been presented and closes the window when
// done; `result` becomes 1 when the picture cannot be written.
void runHarness(CMainFrame& frame, const HarnessOptions& options, std::shared_ptr<int> result);

}  // namespace lnd
