#include "dialog/SampleLoading.h"

#include "codec/ImageCodec.h"
#include "dialog/DialogObjects.h"
#include "platform/Platform.h"
#include "pluginapi/PIResources.h"
#include "suites/PluginState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace quillon::dialog {
namespace {

constexpr const char* kCannotOpen = "Cannot open file";
constexpr const char* kNotAnImage = "Cannot open file, it doesn't appear to be a valid image.";
constexpr char kFilters[] = "Image Files (*.psd, *.jpg, *.gif, *.tif)\0*.psd;*.jpg;*.gif;*.tif\0"
                            "All Files\0*.*\0";
// Longest UTF-8 path the open-file dialog may hand back: 1024 wide characters of up to four
// bytes each.
constexpr size_t kPathBytes = 4 * 1024;

// The decoded chart, kept until the module is unloaded.
struct BuiltInCache {
    SampleImage image{nullptr, 0, 0};
    ~BuiltInCache() {
        if (image.pixels) codec::ReleaseRgbImage(const_cast<uint8_t*>(image.pixels));
    }
} gBuiltIn;

// The new sample into the pane, with its zoom fitted to it.
void Install(uint8_t* pixels, int32_t width, int32_t height, bool userSample) {
    QLNSampleImagePane& pane = RightPane();
    pane.SetSample(pixels, width, height, userSample);
    RightZoom().SetFit(width, height, pane.InnerWidth(), pane.InnerHeight());
    pane.ComputeGeometry();
}

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

SampleImage ReadResourceImage(int32_t id) {
    if (gBuiltIn.image.pixels) return gBuiltIn.image;
    const std::span<const uint8_t> bytes = platform::ModuleResource(kPIFilesType, id);
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
    gBuiltIn.image = {pixels, width, height};
    return gBuiltIn.image;
}

bool LoadSampleFile(const wchar_t* path, bool quiet) {
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
    ReleaseSample();
    Install(pixels, width, height, true);
    return true;
}

void ReleaseSample() {
    RightPane().DropSample();
    suites::Engine().ForgetSamplePositions();
}

void LoadBuiltInSample() {
    ReleaseSample();
    const SampleImage chart = ReadResourceImage(kBuiltInSampleID);
    // The chart belongs to the cache; the pane only shows it.
    Install(const_cast<uint8_t*>(chart.pixels), chart.width, chart.height, false);
    if (RightPane().ItemRef()) RightPane().GetItem().Invalidate();
}

void ChooseSampleFile(Dialog dialog) {
    char chosen[kPathBytes];
    switch (platform::ChooseFile(suites::State().basic, dialog.Ref(), kFilters, chosen)) {
    case platform::FileChoice::Unavailable:
        ErrorAlert("No file chooser is available.");
        return;
    case platform::FileChoice::Cancelled:
        return;
    case platform::FileChoice::Chosen:
        break;
    }
    wchar_t path[sizeof(suites::PluginState::sampleFilePath) / sizeof(wchar_t)];
    if (!platform::Utf8ToWide(chosen, path, std::size(path))) {
        ErrorAlert(kCannotOpen);
        return;
    }
    if (LoadSampleFile(path, false))
        std::copy(std::begin(path), std::end(path), suites::State().sampleFilePath);
    if (RightPane().ItemRef()) RightPane().GetItem().Invalidate();
}

} // namespace quillon::dialog
