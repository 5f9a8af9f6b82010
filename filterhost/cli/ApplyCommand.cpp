// quillon apply: one picture through a filter without its dialog.
#include "cli/BatchApply.h"
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"

#include "core/documents/ImageFiles.h"

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

void RunApply(const GlobalOptions& global, const HostSettings& settings, const ApplyOptions& o,
              const std::filesystem::path& in, const std::filesystem::path& out,
              bool showProgress) {
    InterruptScope interrupts;
    LoadedImage image = ReadImageFile(in);

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    if (showProgress)
        run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = [] { return InterruptScope::Interrupted(); };
    const FilterResult result = RunFilter(global, settings, o.filter, image.document, run, out);
    SaveResult(result, image, out, o.record);
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
        status = ReportingFailures([&] { return Apply(global, settings, *options); });
    });
}

} // namespace quillon::cli
