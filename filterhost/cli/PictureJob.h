// What apply and edit share around one picture: outputs checked before any work, the picture
// read with its notes told, Ctrl-C and SIGTERM turned into a cancel test, a progress bar for a
// person watching, and the result written whole with the settings kept and the action recorded.
#pragma once

#include "cli/FilterRun.h"
#include "cli/InterruptHandler.h"

#include "core/documents/ImageFiles.h"
#include "core/documents/StripEncoder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace quillon::cli {

// Ctrl-C or SIGTERM asks reading, the filter and writing to stop at their next test; a second
// signal removes the temporary file and ends the process at once.
class InterruptScope {
  public:
    InterruptScope();
    static bool Interrupted();

  private:
    InterruptHandler handler_;
};

// A progress bar on standard error when it is a terminal, once the work has taken more than a
// second.
class ProgressBar {
  public:
    void Update(int32_t done, int32_t total);
    ~ProgressBar();

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool shown_ = false;
};

struct PictureJob {
    filterhost::LoadedImage image;
    filterhost::OutputTarget output; // where OUT is written, resolved before IN is read
    filterhost::FileFormat format;   // what OUT is written as
    // Strips of pages encoded ahead, while the filter works on the rows below; after the pages,
    // so they stop before the pages go.
    std::vector<std::unique_ptr<filterhost::StripEncoder>> encoded;

    // Every page, first page first.
    std::vector<filterhost::Document*> Pages();
    std::vector<const filterhost::Document*> Pages() const;
    // For a TIFF OUT, an encoder for page i's strips as the filter finishes its rows, else null.
    // The pages before it are finished first, so one page's workers run at a time.
    filterhost::StripEncoder* EncodeAhead(size_t page);
};

// Checks that OUT (and the action file) can be written and the Colors texts are sound, then reads
// IN and tells its notes. The action file may be neither IN nor OUT, and replaces an existing
// file that is not an action file only with overwrite. A damaged IN is refused unless
// acceptDamaged. The format comes from OUT's name, else from the name of the file a
// link leads to; a device or pipe may have neither and then gets IN's format.
PictureJob OpenPicture(const std::filesystem::path& in, const std::filesystem::path& out,
                       const std::optional<std::filesystem::path>& record, bool overwrite,
                       const FilterOptions& filter, int64_t maxPixels, bool acceptDamaged,
                       const filterhost::CancelCheck& cancelled);

// Writes every page to the job's output, keeps the plug-in's settings, and records the action when
// asked.
void SavePicture(const PictureJob& job, const FilterResult& result,
                 const std::optional<std::filesystem::path>& record,
                 const filterhost::CancelCheck& cancelled);

} // namespace quillon::cli
