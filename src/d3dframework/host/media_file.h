// Finding a media file (cursor model, its textures) that may be named by a path from another
// machine: the name as given, then its bare file name here, then in the media directory.
#pragma once

#include "d3dframework/host/host_result.h"

#include <string>

namespace lnd {

// Longest full path the lookup hands back.
inline constexpr std::size_t kMaxMediaPath = 1023;

// Sets `result` to the first of these that opens for reading: the full (absolute) path of
// `name`, its file-name part (after the last '/' or '\'), "<mediaDir>/<file-name part>".
// When none opens, `result` is `name` unchanged and the call fails. Null arguments fail
// with kHostInvalidArg; a full path longer than kMaxMediaPath fails with kHostFail.
HostResult locateMediaFile(std::string* result, const char* name, const std::string& mediaDir);

// The part of a path after its last separator ('/' or '\').
std::string fileNamePart(const std::string& path);

}  // namespace lnd
