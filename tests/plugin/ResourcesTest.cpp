// The registration and terminology resources, byte for byte against hand-written expectations.
#include "resources/PluginResources.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Builds expected bytes from a readable notation: "hh" hex bytes, 'text' verbatim, spaces ignored.
std::vector<uint8_t> Bytes(const std::string& notation) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < notation.size();) {
        char c = notation[i];
        if (c == ' ' || c == '\n') {
            ++i;
        } else if (c == '\'') {
            size_t end = notation.find('\'', i + 1);
            out.insert(out.end(), notation.begin() + long(i) + 1, notation.begin() + long(end));
            i = end + 1;
        } else {
            out.push_back(static_cast<uint8_t>(std::stoul(notation.substr(i, 2), nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

TEST(PropertyList, MatchesTheRegistrationByteForByte) {
    const std::vector<uint8_t> expected =
        Bytes("0100 00000000 0a000000"
              "'MIB8' 'dnik' 00000000 04000000 'MFB8'"
              "'MIB8' 'eman' 00000000 0c000000 0a 'Quillon...' 00"
              "'MIB8' 'gtac' 00000000 08000000 06 'Nerrow' 00"
              "'MIB8' 'srev' 00000000 04000000 00000400"
              "'MIB8' '68xw' 00000000 0c000000 'PluginMain' 00 00"
              "'MIB8' 'mtsh' 00000000 34000000 00000000 '1kds' '1kds' 803e"
              "  'd9347b0c-3c91-71d4-47bc-00b0d0f04936' 00 00"
              "'MIB8' 'edom' 00000000 04000000 18400000"
              "'MIB8' 'lbne' 00000000 54000000"
              "  'in (PSHOP_ImageMode, RGBMode,CMYKMode, LabMode,RGB48Mode, CMYK64Mode, Lab48Mode)'"
              "  00 00 00 00"
              "'MIB8' '23sm' 00000000 08000000 80841e00 80841e00"
              "'MIB8' 'icif' 00000000 1c000000"
              "  01010000 01010000 01010000 01010000 01010000 01010000 01010000");
    EXPECT_EQ(quillon::resources::BuildPropertyList(), expected);
}

TEST(Terminology, MatchesTheScriptingDictionaryByteForByte) {
    const std::string description = "Pick colors from one picture to adjust another.";
    ASSERT_EQ(description.size(), 0x2fu);
    const std::vector<uint8_t> expected =
        Bytes("0100 01 00 0000 0000 0100"
              "06 'Nerrow' 2f '" +
              description +
              "' '1kds' 0100 0100 0100"
              "07 'Quillon' 2f '" +
              description +
              "' '1kds' '1kds'"
              "'llun' 00 0000"
              "'RmI#' 00 00b0"
              "0400"
              "13 'Preserve Luminosity' 'LsrP' 'loob' 1d 'Adjust or preserve luminosity' 0000"
              "09 'Fuzziness' 'snzF' 'buod' 18 'Range of adjusted colors' 0000"
              "0b 'Sample File' 'Fnlq' ' htP' 0b 'Sample File' 0000"
              "06 'Colors' 'lpms' 'TXET' 0d 'Adjust colors' 0000"
              "0000 0000 0000");
    EXPECT_EQ(quillon::resources::BuildTerminology(), expected);
}

} // namespace
