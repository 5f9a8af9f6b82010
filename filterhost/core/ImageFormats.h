// One reader and one writer per file format; ImageFiles chooses among them.
#pragma once

#include "core/Document.h"

#include <filesystem>

namespace quillon::filterhost {

// Largest picture the host opens: plane sizes stay far from overflow.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 30;

Document ReadPng(const std::filesystem::path& file);
Document ReadJpeg(const std::filesystem::path& file);
Document ReadTiff(const std::filesystem::path& file);
void WritePng(const Document& document, const std::filesystem::path& file);
void WriteJpeg(const Document& document, const std::filesystem::path& file);
void WriteTiff(const Document& document, const std::filesystem::path& file);

} // namespace quillon::filterhost
