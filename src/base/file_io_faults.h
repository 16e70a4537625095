// Fault injection under the file helpers, for tests of every writer.
//
// A fault makes the n-th call of one step of writeFileAtomic fail with a chosen errno, as a
// full disk, a failing device or a refused permission would. Faults are set in-process with
// injectIoFault, or for a whole program through the environment variable LND_TEST_IO_FAULT
// ("STEP:N:ERRNO", e.g. "write:2:ENOSPC"), read at the first save of the process. Steps are
// counted over the whole process, across saves.
#pragma once

#include <string>

namespace lnd {

enum class IoStep {
    CreateTemp,  // creating the temporary file beside the target
    Write,       // one write call of the data (kWriteChunkBytes at most)
    Flush,       // closing the written file, where buffered errors surface
    Sync,        // syncing the written file to disk
    Rename,      // putting the temporary in place of the target
};
inline constexpr int kIoStepCount = 5;

const char* ioStepName(IoStep step);

// Makes the n-th (1-based) call of `step`, counted since the last clearIoFaults, fail with
// `err`. Several faults may be armed at once.
void injectIoFault(IoStep step, int nth, int err);
// Removes any fault and restarts the counts.
void clearIoFaults();
// Calls of `step` since the last inject or clear.
int ioStepCalls(IoStep step);

// Parses "STEP:N:ERRNO" (ERRNO as a name such as ENOSPC, EIO, EACCES, or a number).
bool parseIoFault(const std::string& text, IoStep& step, int& nth, int& err);

}  // namespace lnd
