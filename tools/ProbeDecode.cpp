// decode IN OUT.ppm: the codec layer's result as a binary PPM, written only on success.
#include "ProbeCommands.h"

#include "codec/ImageCodec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

namespace codec = quillon::codec;

// Writes beside the target and renames, so that a failed write leaves no partial file.
bool WritePpm(const std::string& path, const uint8_t* pixels, int32_t width, int32_t height) {
    std::string temp = path + ".partial";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return false;
    size_t bytes = size_t(width) * size_t(height) * 3;
    bool ok = std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0 &&
              std::fwrite(pixels, 1, bytes, file) == bytes;
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

int Decode(const std::string& in, const std::string& out) {
    // Opened as the sample loading opens it: a handle source on an open descriptor.
    int fd = open(in.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::fprintf(stderr, "cannot open %s: %s\n", in.c_str(), std::strerror(errno));
    int32_t width = 0, height = 0;
    uint8_t* pixels = nullptr;
    codec::ImageSource* source = codec::SourceFromHandle(fd);
    int code = codec::CodecLastError();
    if (source != nullptr) {
        pixels = codec::DecodeImage(source, &width, &height);
        code = codec::CodecLastError();
        codec::CloseImageSource(source);
    }
    if (fd >= 0) close(fd);
    if (code != codec::kCodecOk || pixels == nullptr) {
        std::fprintf(stderr, "%s: codec error %d\n", in.c_str(), code);
        codec::ReleaseRgbImage(pixels);
        return 1;
    }
    bool written = WritePpm(out, pixels, width, height);
    codec::ReleaseRgbImage(pixels);
    if (!written) {
        std::fprintf(stderr, "cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

void AddDecodeCommand(CLI::App& app) {
    CLI::App* cmd = app.add_subcommand("decode", "Decode an image file into a binary PPM");
    auto in = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    cmd->add_option("IN", *in, "Image file to decode")->required();
    cmd->add_option("OUT", *out, "PPM file to write")->required();
    cmd->callback([in, out] {
        int status = Decode(*in, *out);
        if (status != 0) throw CLI::RuntimeError(status);
    });
}
