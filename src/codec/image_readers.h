// Readers of uncompressed BMP and TGA files into the program's image kinds.
//
// Safe on any bytes: every header field is checked against the real size of the file before
// anything is read or allocated, sides are capped at kMaxImageSide, and a failure leaves no
// image behind.
#pragma once

#include "base/result.h"
#include "codec/image.h"

#include <cstdio>
#include <memory>
#include <string>

namespace lnd {

// Result codes of the readers.
enum ImageReadResult : int {
    kImageOk = 0,           // the caller owns the image
    kImageCannotOpen = 1,   // the file cannot be opened
    kImageBadExtension = 2, // no extension, or one other than ".tga" and ".bmp"
    kImageUnsupported = 3,  // a format variant the reader does not support
    kImageCorrupt = 4,      // too short, inconsistent, or not a BMP (wrong magic)
};

// Chooses the reader by the extension after the last "." of the path, ignoring case.
int ReadImageFile(const std::string& path, std::unique_ptr<CImageBase>& image);

// ReadImageFile with its outcome as a Result naming the file: IoFailed with the system's
// reason when it cannot be opened, BadInput for a name or content the readers refuse.
Result readImageFile(const std::string& path, std::unique_ptr<CImageBase>& image);
// The Result a reader's code stands for (`systemError`: errno of a failed open, or 0).
Result imageReadResult(int code, const std::string& path, int systemError = 0);

// Read from an open stream positioned at the start of the image file.
// BMP: 8-bit paletted (palette padded to 256 entries) and 24-bit, uncompressed, bottom-up,
// 40-byte information header. TGA: uncompressed colour-mapped 8-bit and true colour 24/32-bit.
int ReadBmp(std::FILE* file, std::unique_ptr<CImageBase>& image);
int ReadTga(std::FILE* file, std::unique_ptr<CImageBase>& image);

}  // namespace lnd
