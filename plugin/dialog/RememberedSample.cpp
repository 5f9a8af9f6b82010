#include "dialog/RememberedSample.h"

#include "platform/Platform.h"
#include "pluginapi/PIActions.h"
#include "resources/PluginResources.h"

#include <cstring>
#include <cwchar>

namespace quillon::dialog {
namespace {

constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr uint32 kUtf8PathBytes = 2048;

// The registry and action descriptor suites, acquired for one call and released after it.
class RegistryAccess {
  public:
    explicit RegistryAccess(const SPBasicSuite& basic) : basic_(basic) {
        error_ = basic.AcquireSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion,
                                    &registry_);
        if (error_ != kSPNoError) return;
        error_ = basic.AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion,
                                    &descriptors_);
    }
    ~RegistryAccess() {
        if (registry_)
            basic_.ReleaseSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion);
        if (descriptors_)
            basic_.ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    }
    RegistryAccess(const RegistryAccess&) = delete;
    RegistryAccess& operator=(const RegistryAccess&) = delete;

    bool Ready() const { return error_ == kSPNoError && registry_ && descriptors_; }
    SPErr Error() const { return error_; }
    const PSDescriptorRegistryProcs& Registry() const {
        return *static_cast<const PSDescriptorRegistryProcs*>(registry_);
    }
    const PSActionDescriptorProcs& Descriptors() const {
        return *static_cast<const PSActionDescriptorProcs*>(descriptors_);
    }

  private:
    const SPBasicSuite& basic_;
    const void* registry_ = nullptr;
    const void* descriptors_ = nullptr;
    SPErr error_ = kSPNoError;
};

} // namespace

SPErr LoadRememberedSample(const SPBasicSuite* basic, std::span<wchar_t> path) {
    if (!basic) return errPlugInHostInsufficient;
    RegistryAccess access(*basic);
    if (!access.Ready()) return access.Error();
    PIActionDescriptor descriptor = nullptr;
    SPErr error = access.Registry().Get(resources::kUniqueString, &descriptor);
    if (error == kSPNoError && descriptor) {
        // One byte more than a path may take, so that a longer stored path shows as such
        // instead of naming a truncated file.
        char text[kUtf8PathBytes + 1] = {};
        error = access.Descriptors().GetString(descriptor, kKeySampleFile, text, sizeof text);
        if (error == kSPNoError && std::strlen(text) < kUtf8PathBytes) {
            wchar_t wide[1024];
            if (platform::Utf8ToWide(text, wide, std::size(wide)) &&
                path.size() > std::wcslen(wide))
                std::wcscpy(path.data(), wide);
        }
    }
    if (descriptor) access.Descriptors().Free(descriptor);
    return error;
}

SPErr RememberSample(const SPBasicSuite* basic, const wchar_t* path) {
    if (!basic) return errPlugInHostInsufficient;
    RegistryAccess access(*basic);
    if (!access.Ready()) return access.Error();
    PIActionDescriptor descriptor = nullptr;
    SPErr error = access.Descriptors().Make(&descriptor);
    if (error == kSPNoError && descriptor) {
        error = access.Descriptors().PutString(descriptor, kKeySampleFile,
                                               platform::WideToUtf8(path).c_str());
        if (error == kSPNoError)
            error = access.Registry().Register(resources::kUniqueString, descriptor, true);
    }
    if (descriptor) access.Descriptors().Free(descriptor);
    return error;
}

} // namespace quillon::dialog
