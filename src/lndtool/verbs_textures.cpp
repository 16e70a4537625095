// lndtool verbs for textures: compress a BMP/TGA picture into a DXT3 DDS, and turn a DDS back
// into a picture.
#include "lndtool/cli.h"

#include "base/file_io.h"
#include "codec/bmp_writer.h"
#include "codec/png_writer.h"
#include "codec/dds.h"
#include "codec/dxt3.h"
#include "codec/image_readers.h"
#include "codec/texture_compressor.h"
#include "codec/pixel_swizzle.h"

#include <cctype>
#include <cstring>

namespace lndtool {

namespace {

int runCompress(const Args& args) {
    const Verb& verb = verbNamed("compress");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.dds");
    long long threads = 0;  // as many as the processor has
    if (args.has("threads") &&
        (!parseInt(args.get("threads"), threads) || threads < 1 || threads > lnd::kDxt3MaxThreads))
        return usageError(verb, "--threads must be a whole number from 1 to " + std::to_string(lnd::kDxt3MaxThreads));
    const std::string in = args.positional[0];
    std::unique_ptr<lnd::CImageBase> image;
    if (lnd::Result r = lnd::readImageFile(in, image); !r) return inputError(r.message());
    lnd::CImage32 flat = image->kind() == lnd::CImage32::kKind ? std::move(static_cast<lnd::CImage32&>(*image))
                                                             : lnd::toImage32(static_cast<lnd::CImage8&>(*image));
    if (flat.width() % 4 != 0 || flat.height() % 4 != 0)
        return inputError(in + ": image sides must be multiples of 4 (it is " + std::to_string(flat.width()) + " x " +
                          std::to_string(flat.height()) + ")");
    lnd::CTextureCompressor compressor;
    if (compressor.Compress(flat, int(threads)) != 0) return inputError(in + ": cannot compress this image");
    lnd::DdsImage dds;
    dds.kind = lnd::DdsKind::Dxt3;
    dds.width = flat.width();
    dds.height = flat.height();
    dds.data.assign(compressor.data(), compressor.data() + compressor.size());
    if (lnd::Result r = lnd::writeFileAtomic(args.get("o"), lnd::encodeDds(dds)); !r) return inputError(r.message());
    return kExitOk;
}

int runDecompress(const Args& args) {
    const Verb& verb = verbNamed("decompress");
    if (!args.has("o")) return usageError(verb, "missing -o OUT.bmp or OUT.png");
    const std::string out = args.get("o");
    const std::string ext = lowerExtension(out);
    if (ext != ".bmp" && ext != ".png") return usageError(verb, "the output must end in .bmp or .png");
    const std::string in = args.positional[0];
    std::vector<std::uint8_t> bytes;
    if (lnd::Result r = lnd::readWholeFile(in, bytes); !r) return inputError(r.message());
    lnd::DdsImage dds;
    if (lnd::Result r = lnd::decodeDds(bytes, dds); !r) return inputError(in + ": " + r.message());
    lnd::CImage32 image(dds.width, dds.height);
    if (dds.kind == lnd::DdsKind::Dxt3) {
        lnd::decodeDxt3Image(dds.data.data(), dds.width, dds.height, image.pixels(), image.pitch());
    } else {
        lnd::reversePixelBytes(dds.data.data(), image.pixels(), dds.data.size() / 4);
    }
    const std::vector<std::uint8_t> file = ext == ".png" ? lnd::encodePng(image) : lnd::encodeBmp(image, 32);
    if (file.empty()) return inputError(in + ": cannot encode the picture");
    if (lnd::Result r = lnd::writeFileAtomic(out, file); !r) return inputError(r.message());
    return kExitOk;
}

const VerbRegistrar kCompress({"compress", "compress IN.(bmp|tga) -o OUT.dds [--threads N]",
                               "compress a BMP or TGA picture into a DXT3 DDS image (on N threads, by "
                               "default all the processor has)",
                               {{"o", true}, {"threads", true}}, 1, 1, runCompress});
const VerbRegistrar kDecompress({"decompress", "decompress IN.dds -o OUT.(bmp|png)",
                                 "decode a DXT3 or 32-bit DDS image into a BMP or PNG picture", {{"o", true}}, 1,
                                 1, runDecompress});

}  // namespace

}  // namespace lndtool
