#include "core/suites/SessionServices.h"

#include "core/suites/GuardedCall.h"
#include "pluginapi/PIChannelPorts.h"

namespace quillon::filterhost {
namespace {
SessionServices* gCurrent = nullptr;
} // namespace

SessionServices* SessionServices::Current() {
    return gCurrent;
}

void NoteHostFailure(const std::string& message) noexcept {
    if (!gCurrent) return;
    try {
        gCurrent->NoteFailure(message);
    } catch (...) {
        // Out of memory for the message itself: the error code still reaches the plug-in.
    }
}

SessionServices::SessionServices(std::filesystem::path registryFile)
    : previous_(gCurrent), memory_(handles_),
      descriptors_(handles_, memory_, std::move(registryFile)) {
    suites_.Offer(kPSHandleSuite, kPSHandleSuiteVersion2, memory_.HandleSuite());
    suites_.Offer(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion,
                  descriptors_.ActionDescriptorSuite());
    suites_.Offer(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion,
                  descriptors_.RegistrySuite());
    gCurrent = this;
}

SessionServices::~SessionServices() {
    dialogs_.reset();
    actions_.reset();
    ClosePorts();
    CloseColors();
    // Sessions normally end newest first; one that ends out of turn is unlinked where it stands.
    if (gCurrent == this) {
        gCurrent = previous_;
    } else {
        for (SessionServices* s = gCurrent; s; s = s->previous_)
            if (s->previous_ == this) {
                s->previous_ = previous_;
                break;
            }
    }
}

ColorServices& SessionServices::OpenColors(std::span<const uint8_t> rgbProfile,
                                           std::span<const uint8_t> cmykProfile) {
    CloseColors();
    colors_ = std::make_unique<ColorServices>(rgbProfile, cmykProfile, &handles_);
    suites_.Offer(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1, ColorServices::Suite());
    suites_.Offer(kQuillonPickerFollowSuite, kQuillonPickerFollowSuiteVersion1,
                  ColorServices::FollowSuite());
    return *colors_;
}

void SessionServices::CloseColors() {
    suites_.Withdraw(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1);
    suites_.Withdraw(kQuillonPickerFollowSuite, kQuillonPickerFollowSuiteVersion1);
    colors_.reset();
}

ChannelPorts& SessionServices::OpenPorts(const Document& document) {
    ClosePorts();
    ports_ = std::make_unique<ChannelPorts>(document, handles_);
    suites_.Offer(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2, ports_->Suite());
    return *ports_;
}

void SessionServices::ClosePorts() {
    suites_.Withdraw(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2);
    ports_.reset();
}

ActionControl& SessionServices::OpenActionControl(EyedropperSample sample) {
    actions_.reset();
    actions_ = std::make_unique<ActionControl>(suites_, descriptors_, handles_, sample);
    return *actions_;
}

void SessionServices::NoteFailure(const std::string& message) {
    if (failure_.empty()) failure_ = message;
}

std::string SessionServices::TakeFailure() {
    return std::exchange(failure_, {});
}

SessionServices::InUse::InUse(SessionServices& session) : previous_(gCurrent) {
    gCurrent = &session;
}

SessionServices::InUse::~InUse() {
    gCurrent = previous_;
}

} // namespace quillon::filterhost
