// quillon apply: one picture through a filter without its dialog.
#include "cli/BatchApply.h"
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/documents/ImageFiles.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <optional>

namespace quillon::cli {
namespace {

using namespace filterhost;

struct ApplyOptions {
    std::vector<std::filesystem::path> files; // IN OUT, or the inputs of a batch
    FilterOptions filter;
    std::optional<std::filesystem::path> record;
    int tile = 256;
    BatchOptions batch;
};

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted = true;
}

// Ctrl-C asks the filter to stop at its next abort test; a second Ctrl-C ends at once.
class InterruptScope {
  public:
    InterruptScope() {
        gInterrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }

  private:
    struct sigaction previous_ {};
};

// A progress bar on standard error, once the work has taken more than a second.
class ProgressBar {
  public:
    void Update(int32_t done, int32_t total) {
        using namespace std::chrono;
        if (total <= 0 || steady_clock::now() - start_ < seconds(1)) return;
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
    bool shown_ = false;
};

void RunApply(const GlobalOptions& global, const HostSettings& settings, const ApplyOptions& o,
              const std::filesystem::path& in, const std::filesystem::path& out,
              bool showProgress) {
    InterruptScope interrupts;
    LoadedImage image = ReadImageFile(in);
    const FileFormat format = FormatForOutput(out, image.format);

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    if (showProgress)
        run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return gInterrupted.load(); };
    const FilterResult result = RunFilter(global, settings, o.filter, image.document, run, out);

    WriteImageFile(image.document, format, out);
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
    AddBatchOptions(*apply, options->batch);
    apply->callback([apply, &global, &settings, &status, options] {
        GatherFilterOptions(*apply, options->filter);
        CheckBatchArguments(options->batch, options->files, options->record.has_value());
        try {
            status = Apply(global, settings, *options);
        } catch (const UsageError& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitUsage;
        } catch (const HostFailure& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        } catch (const std::filesystem::filesystem_error& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        }
    });
}

} // namespace quillon::cli
