// quillon apply: pictures through a filter without its dialog, one or a batch.
#include "cli/BatchApply.h"
#include "cli/ColorsCheck.h"
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <optional>
#include <variant>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct ApplyOptions {
    std::vector<std::filesystem::path> files; // IN OUT, or the inputs of a batch
    FilterOptions filter;
    std::optional<std::filesystem::path> record;
    int tile = 256;
    BatchOptions batch;
    int64_t maxPixels = kMaxImagePixels;
};

std::atomic<bool> gInterrupted{false};

// A second signal does not wait for the next test: the temporary file goes and the run ends.
extern "C" void OnInterrupt(int) {
    if (!gInterrupted.exchange(true)) return;
    RemoveTemporaryFileNow();
    static const char kMessage[] = "quillon: cancelled\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(kExitFailure);
}

// Ctrl-C or SIGTERM asks reading, the filter and writing to stop at their next test.
class InterruptScope {
  public:
    InterruptScope() {
        gInterrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        for (size_t i = 0; i < 2; ++i)
            sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~InterruptScope() {
        for (size_t i = 0; i < 2; ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    }

  private:
    static constexpr int kSignals[2] = {SIGINT, SIGTERM};
    struct sigaction previous_[2]{};
};

// A progress bar on standard error when it is a terminal, once the work has taken more than a
// second.
class ProgressBar {
  public:
    void Update(int32_t done, int32_t total) {
        using namespace std::chrono;
        if (!terminal_ || total <= 0 || steady_clock::now() - start_ < seconds(1)) return;
        const int percent = int(int64_t(done) * 100 / total);
        const int filled = percent / 4;
        std::cerr << "\rquillon: [" << std::string(size_t(filled), '#')
                  << std::string(size_t(25 - filled), ' ') << "] " << percent << "%" << std::flush;
        shown_ = true;
    }
    ~ProgressBar() {
        if (shown_) std::cerr << "\n";
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool terminal_ = isatty(STDERR_FILENO) == 1;
    bool shown_ = false;
};

// The Colors text the plug-in recorded moves no colour.
bool MovesNothing(const FilterResult& result) {
    const DescriptorItem* colors =
        result.recorded ? result.recorded->Find(PI_FOURCC('s', 'm', 'p', 'l')) : nullptr;
    const auto* text = colors ? std::get_if<std::string>(&colors->value) : nullptr;
    try {
        return text && CheckColorsText(*text).moves == 0;
    } catch (const HostFailure&) {
        return false;
    }
}

void RunApply(const GlobalOptions& global, const HostSettings& settings, const ApplyOptions& o,
              const std::filesystem::path& in, const std::filesystem::path& out,
              bool showProgress) {
    InterruptScope interrupts;
    const CancelCheck cancelled = [] { return gInterrupted.load(); };
    // Everything the run will write is checked before any work. The format comes from OUT's
    // name, else from the name of the file a link leads to; a device or pipe may have neither
    // and then gets IN's format.
    CheckWritable(out);
    if (o.record) CheckWritable(*o.record);
    for (const auto& part : o.filter.colors)
        if (!part.mapping) CheckColorsText(part.text);
    const bool stream = IsDeviceOrPipe(out);
    const auto named = FormatOfName(out) ? out : WriteTarget(out);
    const std::optional<FileFormat> asked =
        stream ? FormatOfName(named) : std::optional<FileFormat>(FormatForOutput(named));

    LoadedImage image = ReadImageFile(in, o.maxPixels, cancelled);
    const FileFormat format = asked.value_or(image.format);
    std::vector<Document*> pages{&image.document};
    for (Document& page : image.morePages)
        pages.push_back(&page);
    if (pages.size() > 1 && format != FileFormat::Tiff)
        throw HostFailure(in.string() + " has " + std::to_string(pages.size()) +
                          " pages and only TIFF holds more than one; " + out.string() +
                          " not written");
    for (size_t i = 0; i < pages.size(); ++i)
        for (const std::string& note : pages[i]->notes)
            std::cerr << "quillon: note: " << in.string()
                      << (pages.size() > 1 ? " page " + std::to_string(i + 1) : "") << ": " << note
                      << "\n";

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    // A bar is for a person watching; in a log it would only add lines to a message.
    if (showProgress && isatty(STDERR_FILENO) == 1)
        run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = cancelled;
    // Every page with the same parameters; OUT is written only once all have been filtered.
    FilterResult result;
    for (size_t i = 0; i < pages.size(); ++i) {
        try {
            result = RunFilter(global, settings, o.filter, *pages[i], run, out);
        } catch (const HostFailure& e) {
            if (pages.size() == 1) throw;
            throw HostFailure("page " + std::to_string(i + 1) + ": " + e.what());
        }
    }
    const FilterOptions& f = o.filter;
    if ((f.colors.empty() && !f.action && !f.last) || MovesNothing(result))
        std::cerr << "quillon: note: no adjustment moves any colour; " << out.string()
                  << " is written as " << in.string() << " was read\n";

    WriteImageFile(std::vector<const Document*>(pages.begin(), pages.end()), format, out,
                   cancelled);
    KeepSettings(result);
    if (o.record) {
        if (!result.recorded) throw HostFailure("the filter recorded no parameters");
        WriteActionFile({result.pluginKey, result.pluginName, *result.recorded}, *o.record);
    }
}

int Apply(const GlobalOptions& global, const HostSettings& settings, const ApplyOptions& o) {
    if (!IsBatch(o.batch)) {
        RunApply(global, settings, o, o.files[0], o.files[1], true);
        return kExitOk;
    }
    return RunBatch(o.batch, o.files,
                    [&](const std::filesystem::path& in, const std::filesystem::path& out) {
                        RunApply(global, settings, o, in, out, false);
                    });
}

} // namespace

void AddApplyCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status) {
    auto options = std::make_shared<ApplyOptions>();
    auto* apply = app.add_subcommand("apply", "filter IN into OUT without the dialog");
    apply
        ->add_option("IN OUT", options->files,
                     "picture to filter (PNG, JPEG, TIFF) and where to write the result (its "
                     "extension may change the format); with --out-dir or --out, the pictures "
                     "of a batch")
        ->required();
    AddFilterOptions(*apply, options->filter);
    apply->add_option("--record", options->record, "write the parameters used as an action file");
    apply->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    apply
        ->add_option("--max-pixels", options->maxPixels,
                     "largest picture to open, in pixels (all pages together)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    AddBatchOptions(*apply, options->batch);
    apply->callback([apply, &global, &settings, &status, options] {
        GatherFilterOptions(*apply, options->filter);
        CheckBatchArguments(options->batch, options->files, options->record.has_value());
        status = ReportingFailures([&] { return Apply(global, settings, *options); });
    });
}

} // namespace quillon::cli
