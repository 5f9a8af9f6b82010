// The about picture painted by the build, linked in as it is.
#include "resources/DialogResources.h"

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl quillon_about_picture_begin\n"
    ".hidden quillon_about_picture_begin\n"
    ".globl quillon_about_picture_end\n"
    ".hidden quillon_about_picture_end\n"
    "quillon_about_picture_begin:\n"
    ".incbin \"" QUILLON_ABOUT_PICTURE "\"\n"
    "quillon_about_picture_end:\n"
    ".previous\n");

extern "C" const uint8_t quillon_about_picture_begin[];
extern "C" const uint8_t quillon_about_picture_end[];

namespace quillon::resources {

std::span<const uint8_t> AboutPicture() {
    return {quillon_about_picture_begin, quillon_about_picture_end};
}

} // namespace quillon::resources
