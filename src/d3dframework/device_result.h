// Result codes of the device layer: textures, meshes and their helpers report failures as
// values, never as exceptions, so callers can keep the "0 on success, negative on failure"
// habit of the rest of the program.
#pragma once

#include <cstdint>

namespace lnd {

using DeviceResult = std::int32_t;

inline constexpr DeviceResult kDeviceOk = 0;
// The general failure code the mesh builders pass on to their callers; keep its value.
inline constexpr DeviceResult kDeviceFail = static_cast<DeviceResult>(0x80004005u);
// A call the object cannot take in its state or with these arguments (bad level, rectangle
// outside the surface, double lock, unlock without lock, unsupported filter or format).
inline constexpr DeviceResult kDeviceInvalidCall = -2;
// Bytes handed in that do not describe something the layer can hold (bad DDS image, index
// out of range).
inline constexpr DeviceResult kDeviceInvalidData = -3;
// A size beyond what the layer allocates (16-bit index limit, oversized textures).
inline constexpr DeviceResult kDeviceOutOfMemory = -4;
// A file could not be written.
inline constexpr DeviceResult kDeviceWriteFailed = -5;

inline constexpr bool deviceFailed(DeviceResult r) { return r < 0; }

// Whether a lock may change the bytes; read-only locks leave the change counters alone.
enum class LockMode { ReadWrite, ReadOnly };

}  // namespace lnd
