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

namespace lnd {

inline constexpr std::size_t kDxt3BlockBytes = 16;

// Encodes one 4 x 4 block given as 16 pixels, row-major (64 bytes).
void encodeDxt3Block(const std::uint8_t pixels[64], std::uint8_t out[16]);

// Decodes one block into 16 pixels (64 bytes), always with the four-colour palette.
void decodeDxt3Block(const std::uint8_t in[16], std::uint8_t pixels[64]);

// Whole images. Width and height must be multiples of 4; rows of the pixel image are `pitch`
// bytes apart (at least 4 * width); the DXT3 side holds width * height bytes.
void encodeDxt3Image(const std::uint8_t* pixels, int width, int height, std::size_t pitch, std::uint8_t* out);
void decodeDxt3Image(const std::uint8_t* in, int width, int height, std::uint8_t* pixels, std::size_t pitch);

}  // namespace lnd
