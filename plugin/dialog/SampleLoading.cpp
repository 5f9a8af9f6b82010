#include "dialog/SampleLoading.h"

#include "codec/ImageCodec.h"
#include "codec/Recognition.h"
#include "platform/Platform.h"
#include "pluginapi/PIResources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::dialog {
namespace {

constexpr const char* kCannotOpen = "Cannot open file";
constexpr const char* kNotAnImage = "Cannot open file, it doesn't appear to be a valid image.";
// Longest UTF-8 path the open-file dialog may hand back: 1024 wide characters of up to four
// bytes each.
constexpr size_t kPathBytes = 4 * 1024;

// Opens a regular file for reading; never waits on a pipe or a device.
int OpenRegularFile(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string SampleFileFilters() {
    std::string shown, patterns;
    for (const std::string_view extension : codec::ReadableExtensions()) {
        shown += (shown.empty() ? "*" : ", *") + std::string(extension);
        patterns += (patterns.empty() ? "*" : ";*") + std::string(extension);
    }
    using namespace std::string_literals;
    return "Image Files ("s + shown + ")" + '\0' + patterns + '\0' + "All Files" + '\0' + "*.*" +
           '\0';
}

BuiltInChart::~BuiltInChart() {
    if (image_.pixels) codec::ReleaseRgbImage(const_cast<uint8_t*>(image_.pixels));
}

SampleImage BuiltInChart::Image() {
    if (image_.pixels) return image_;
    const std::span<const uint8_t> bytes = platform::ModuleResource(kPIFilesType, kBuiltInSampleID);
    codec::ImageSource* source =
        bytes.empty() ? nullptr : codec::SourceFromMemory(bytes.data(), bytes.size());
    if (!source) {
        ErrorAlert(kCannotOpen);
        return {nullptr, 0, 0};
    }
    int32_t width = 0, height = 0;
    uint8_t* pixels = codec::DecodeImage(source, &width, &height);
    const int error = codec::CodecLastError();
    codec::CloseImageSource(source);
    if (error != codec::kCodecOk || !pixels) {
        if (pixels) codec::ReleaseRgbImage(pixels);
        ErrorAlert(kNotAnImage);
        return {nullptr, 0, 0};
    }
    image_ = {pixels, width, height};
    return image_;
}

void SampleLoader::Install(uint8_t* pixels, int32_t width, int32_t height, bool userSample) {
    pane_.SetSample(pixels, width, height, userSample);
    zoom_.SetFit(width, height, pane_.InnerWidth(), pane_.InnerHeight());
    pane_.ComputeGeometry();
}

bool SampleLoader::LoadFile(const wchar_t* path, bool quiet) {
    const std::string utf8 = platform::WideToUtf8(path);
    const int fd = OpenRegularFile(utf8.c_str());
    if (fd < 0) {
        if (!quiet) ErrorAlert(kCannotOpen);
        return false;
    }
    codec::ImageSource* source = codec::SourceFromHandle(fd);
    if (!source) {
        ::close(fd);
        if (!quiet) ErrorAlert(kCannotOpen);
        return false;
    }
    int32_t width = 0, height = 0;
    uint8_t* pixels = codec::DecodeImage(source, &width, &height);
    const int error = codec::CodecLastError();
    codec::CloseImageSource(source);
    ::close(fd);
    if (error != codec::kCodecOk || !pixels) {
        if (pixels) codec::ReleaseRgbImage(pixels);
        if (!quiet) ErrorAlert(kNotAnImage);
        return false;
    }
    Release();
    Install(pixels, width, height, true);
    return true;
}

void SampleLoader::Release() {
    pane_.DropSample();
    engine_.ForgetSamplePositions();
}

void SampleLoader::LoadBuiltIn() {
    Release();
    const SampleImage chart = chart_.Image();
    // The chart belongs to the cache; the pane only shows it.
    Install(const_cast<uint8_t*>(chart.pixels), chart.width, chart.height, false);
    if (pane_.ItemRef()) pane_.GetItem().Invalidate();
}

void SampleLoader::ChooseFile(Dialog dialog, std::span<wchar_t> samplePath) {
    char chosen[kPathBytes];
    switch (platform::ChooseFile(basic_, dialog.Ref(), SampleFileFilters().c_str(), chosen)) {
    case platform::FileChoice::Unavailable:
        ErrorAlert("No file chooser is available.");
        return;
    case platform::FileChoice::Cancelled:
        return;
    case platform::FileChoice::Chosen:
        break;
    }
    std::vector<wchar_t> path(samplePath.size());
    if (!platform::Utf8ToWide(chosen, path.data(), path.size())) {
        ErrorAlert(kCannotOpen);
        return;
    }
    if (LoadFile(path.data(), false)) std::copy(path.begin(), path.end(), samplePath.begin());
    if (pane_.ItemRef()) pane_.GetItem().Invalidate();
}

} // namespace quillon::dialog
