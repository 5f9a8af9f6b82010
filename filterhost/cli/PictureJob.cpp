#include "cli/PictureJob.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/documents/AtomicFile.h"
#include "core/looks/ColorsText.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <string>
#include <utility>

namespace quillon::cli {
namespace {

using namespace filterhost;

std::atomic<bool> gInterrupted{false};

// A second signal does not wait for the next test: the temporary file goes and the run ends.
extern "C" void OnInterrupt(int) {
    if (!gInterrupted.exchange(true)) return;
    RemoveTemporaryFileNow();
    static const char kMessage[] = "quillon: cancelled\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(kExitFailure);
}

// Two names for one file; a file not there yet is compared by where it would be. Both names have
// their symbolic links followed already, so a dangling link counts as its target.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
        return std::filesystem::equivalent(a, b, error);
    const auto where = [&error](const std::filesystem::path& file) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(file), error);
    };
    return where(a) == where(b);
}

// The action file goes neither onto the picture read nor the one written, and replaces only an
// earlier action file unless the user says otherwise.
void CheckRecordTarget(const OutputTarget& record, const std::filesystem::path& in,
                       const OutputTarget& out, bool overwrite) {
    const std::string refused = "--record " + record.named.string() + ": ";
    if (SameFile(record.file, in))
        throw HostFailure(refused + "it is the picture read (" + in.string() + ")");
    if (SameFile(record.file, out.file))
        throw HostFailure(refused + "it is the picture written (" + out.named.string() + ")");
    std::error_code error;
    if (overwrite || !std::filesystem::is_regular_file(record.named, error)) return;
    try {
        ReadActionFile(record.named);
    } catch (const HostFailure&) {
        throw HostFailure(refused +
                          "the file there is not an action file; --overwrite replaces it");
    }
}

} // namespace

// The flag is cleared before the handler that sets it is installed.
InterruptScope::InterruptScope() : handler_((gInterrupted = false, OnInterrupt)) {}

bool InterruptScope::Interrupted() {
    return gInterrupted.load();
}

// A bar is for a person watching; in a log it would only add lines to a message.
void ProgressBar::Update(int32_t done, int32_t total) {
    using namespace std::chrono;
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    if (!terminal || total <= 0 || steady_clock::now() - start_ < seconds(1)) return;
    const int percent = int(int64_t(done) * 100 / total);
    const int filled = percent / 4;
    std::cerr << "\rquillon: [" << std::string(size_t(filled), '#')
              << std::string(size_t(25 - filled), ' ') << "] " << percent << "%" << std::flush;
    shown_ = true;
}

ProgressBar::~ProgressBar() {
    if (shown_) std::cerr << "\n";
}

std::vector<Document*> PictureJob::Pages() {
    std::vector<Document*> pages{&image.document};
    for (Document& page : image.morePages)
        pages.push_back(&page);
    return pages;
}

std::vector<const Document*> PictureJob::Pages() const {
    std::vector<const Document*> pages{&image.document};
    for (const Document& page : image.morePages)
        pages.push_back(&page);
    return pages;
}

filterhost::StripEncoder* PictureJob::EncodeAhead(size_t page) {
    if (format != FileFormat::Tiff) return nullptr;
    for (auto& earlier : encoded)
        if (earlier) earlier->Finish();
    encoded.resize(std::max(encoded.size(), page + 1));
    encoded[page] = std::make_unique<StripEncoder>(*Pages()[page]);
    return encoded[page].get();
}

PictureJob OpenPicture(const std::filesystem::path& in, const std::filesystem::path& out,
                       const std::optional<std::filesystem::path>& record, bool overwrite,
                       const FilterOptions& filter, int64_t maxPixels, bool acceptDamaged,
                       const CancelCheck& cancelled) {
    const OutputTarget output = ResolveOutput(out);
    if (record) CheckRecordTarget(ResolveOutput(*record), in, output, overwrite);
    for (const auto& part : filter.colors) {
        try {
            if (!part.mapping) CheckColorsText(part.text);
        } catch (const HostFailure& e) {
            throw HostFailure(std::string("bad parameters in --colors: ") + e.what());
        }
    }
    // The format is named by OUT's extension, else by that of the file a link leads to.
    const std::filesystem::path& named = FormatOfName(out) ? out : output.file;
    // A batch gives OUT IN's extension: when OUT's is none the host writes, IN's format is the
    // one at fault if it is none the host reads either.
    if (!output.stream && !FormatOfName(named)) RecognizeImageFile(in);
    const std::optional<FileFormat> asked =
        output.stream ? FormatOfName(named) : std::optional<FileFormat>(FormatForOutput(named));
    if (asked) CheckCanWrite(*asked, out);

    PictureJob job{
        ReadImageFile(in, maxPixels, cancelled, acceptDamaged), output, FileFormat::Png, {}};
    job.format = asked.value_or(job.image.format);
    CheckCanWrite(job.format, out);
    const std::vector<const Document*> pages = std::as_const(job).Pages();
    if (pages.size() > 1 && job.format != FileFormat::Tiff)
        throw HostFailure(in.string() + " has " + std::to_string(pages.size()) +
                          " pages and only TIFF holds more than one; " + out.string() +
                          " not written");
    for (size_t i = 0; i < pages.size(); ++i)
        for (const std::string& note : pages[i]->notes)
            std::cerr << "quillon: note: " << in.string()
                      << (pages.size() > 1 ? " page " + std::to_string(i + 1) : "") << ": " << note
                      << "\n";
    return job;
}

void SavePicture(const PictureJob& job, const FilterResult& result,
                 const std::optional<std::filesystem::path>& record, const CancelCheck& cancelled) {
    std::vector<StripEncoder*> encoded;
    for (const auto& encoder : job.encoded)
        encoded.push_back(encoder.get());
    WriteImageFile(job.Pages(), job.format, job.output, cancelled, encoded);
    KeepSettings(result);
    if (record) {
        RecordAction(result, *record);
    }
}

} // namespace quillon::cli
