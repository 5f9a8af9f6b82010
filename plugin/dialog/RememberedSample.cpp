#include "dialog/RememberedSample.h"

#include "platform/Platform.h"
#include "pluginapi/PIActions.h"
#include "resources/PluginResources.h"
#include "suites/ScopedSuite.h"

#include <cstring>
#include <cwchar>

namespace quillon::dialog {
namespace {

constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr uint32 kUtf8PathBytes = 2048;

// The registry and action descriptor suites, acquired for one call and released after it.
struct RegistryAccess {
    explicit RegistryAccess(const SPBasicSuite* basic)
        : registry(basic, kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion),
          descriptors(basic, kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion) {}
    bool Ready() const { return registry && descriptors; }
    SPErr Error() const { return registry ? descriptors.Error() : registry.Error(); }
    const PSDescriptorRegistryProcs& Registry() const { return *registry; }
    const PSActionDescriptorProcs& Descriptors() const { return *descriptors; }

    suites::ScopedSuite<PSDescriptorRegistryProcs> registry;
    suites::ScopedSuite<PSActionDescriptorProcs> descriptors;
};

} // namespace

SPErr LoadRememberedSample(const SPBasicSuite* basic, std::span<wchar_t> path) {
    RegistryAccess access(basic);
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
    RegistryAccess access(basic);
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
