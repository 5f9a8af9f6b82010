// ICC profiles as the bytes a document or file embeds, made with LittleCMS.
#pragma once

#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace quillon::testing {

// The profile's bytes; the profile is closed.
inline std::vector<uint8_t> ProfileBytes(cmsHPROFILE profile) {
    cmsUInt32Number length = 0;
    cmsSaveProfileToMem(profile, nullptr, &length);
    std::vector<uint8_t> bytes(length);
    cmsSaveProfileToMem(profile, bytes.data(), &length);
    cmsCloseProfile(profile);
    return bytes;
}

} // namespace quillon::testing
