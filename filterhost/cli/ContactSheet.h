// A contact sheet: pictures side by side in a grid, each scaled down with its name beneath.
#pragma once

#include "core/documents/Document.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quillon::cli {

struct SheetEntry {
    std::string name;
    filterhost::Document picture; // any mode and depth; shown in sRGB
};

// Draws the entries, at most 256 pixels wide and high each, and writes the sheet in the format
// `file`'s extension names (whole or not at all). Call only where no worker process is forked
// later: it starts Qt on its offscreen platform for the lettering. Throws HostFailure.
void WriteContactSheet(const std::vector<SheetEntry>& entries, const std::filesystem::path& file);

} // namespace quillon::cli
