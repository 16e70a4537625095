// DXT3 block compression: the encoder of the land's low-resolution textures and a decoder.
//
// Pixels are handed over four bytes each in the order alpha, red, green, blue (the order of
// CImage32). A DXT3 block is 16 bytes: 8 bytes of explicit 4-bit alpha, then two 5:6:5
// colours and 32 bits of 2-bit codes. Blocks are stored row of blocks after row of blocks.
//
// The encoder is deterministic: the same pixels give the same bytes on every host, because
// saved land files depend on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lnd {

inline constexpr std::size_t kDxt3BlockBytes = 16;

// Encodes one 4 x 4 block given as 16 pixels, row-major (64 bytes).
void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]);

// Decodes one block into 16 pixels (64 bytes), always with the four-colour palette.
void decodeDxt3Block(const std::uint8_t in[16], std::uint8_t pixels[64]);

// Whole images. Width and height must be multiples of 4; rows of the pixel image are `pitch`
// bytes apart (at least 4 * width); the DXT3 side holds width * height bytes.
//
// The encoders share rows of blocks among `threads` threads: 0 takes as many as the processor
// has (at most kDxt3MaxThreads, and one alone when the work is too small to be worth a
// thread), 1 keeps to the calling thread. Every thread count gives the same bytes; all threads
// have finished when the call returns.
inline constexpr int kDxt3MaxThreads = 16;
void encodeDxt3Image(const std::uint8_t* pixels, int width, int height, std::size_t pitch, std::uint8_t* out,
                     int threads = 0);

// One image of a batch: the arguments of encodeDxt3Image.
struct Dxt3Image {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t pitch = 0;
    std::uint8_t* out = nullptr;
};

// Several images at once, their rows of blocks shared among the threads, so that small
// textures keep every thread busy too. Images whose sides are not positive multiples of 4
// are skipped, as encodeDxt3Image skips them.
void encodeDxt3Images(std::span<const Dxt3Image> images, int threads = 0);
void decodeDxt3Image(const std::uint8_t* in, int width, int height, std::uint8_t* pixels, std::size_t pitch);

}  // namespace lnd
