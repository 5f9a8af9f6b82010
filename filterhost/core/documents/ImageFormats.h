// One reader and one writer per file format; ImageFiles chooses among them.
#pragma once

#include "core/documents/ImageFiles.h"

#include <filesystem>

namespace quillon::filterhost {

// Each refuses a picture of more than maxPixels pixels before allocating its document.
Document ReadPng(const std::filesystem::path& file, int64_t maxPixels);
Document ReadJpeg(const std::filesystem::path& file, int64_t maxPixels);
Document ReadTiff(const std::filesystem::path& file, int64_t maxPixels);
void WritePng(const Document& document, const std::filesystem::path& file);
void WriteJpeg(const Document& document, const std::filesystem::path& file);
void WriteTiff(const Document& document, const std::filesystem::path& file);

} // namespace quillon::filterhost
