// The open-file dialog's filters for a sample picture name every format the dialog can open.
#include "dialog/SampleLoading.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The NUL-ended strings of the filter list, read as description and pattern pairs.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& filters) {
    std::vector<std::string> parts;
    for (size_t at = 0; at < filters.size();) {
        const size_t end = filters.find('\0', at);
        EXPECT_NE(end, std::string::npos) << "the last string is not ended";
        if (end == std::string::npos) break;
        parts.push_back(filters.substr(at, end - at));
        at = end + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.emplace_back(parts[i], parts[i + 1]);
    EXPECT_EQ(parts.size() % 2, 0u);
    return pairs;
}

TEST(SampleFiltersTest, ImageFilesNameEveryReadFormatAndAllFilesComesSecond) {
    const auto pairs = Pairs(quillon::dialog::SampleFileFilters());
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>{"All Files", "*.*"}));
    const auto& [description, patterns] = pairs[0];
    EXPECT_EQ(description.rfind("Image Files (", 0), 0u) << description;
    for (const char* extension : {"png", "jpg", "jpeg", "tif", "tiff", "psd", "gif", "bmp", "tga",
                                  "pcx", "pcd", "pnm", "pbm", "pgm", "ppm", "wbmp"}) {
        const std::string pattern = std::string("*.") + extension;
        EXPECT_NE((";" + patterns + ";").find(";" + pattern + ";"), std::string::npos) << pattern;
        EXPECT_NE(description.find(pattern), std::string::npos) << pattern;
    }
}

} // namespace
