// quillon apply: pictures through a filter without its dialog, one or a batch.
#include "cli/BatchApply.h"
#include "cli/Commands.h"
#include "cli/FilterOptions.h"
#include "cli/FilterRun.h"
#include "cli/PictureJob.h"
#include "cli/ProtectOption.h"

#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/looks/ColorsText.h"

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
    bool acceptDamaged = false;
    int quality = 0; // for a JPEG OUT; 0 keeps a JPEG IN's coding
    ProtectRequest protect;
};

// The Colors text the plug-in recorded moves no colour.
bool MovesNothing(const FilterResult& result) {
    const TerminologyParameter* declared = FindDeclared(result.declared, "Colors");
    const DescriptorItem* colors =
        result.recorded && declared ? result.recorded->Find(declared->key) : nullptr;
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
    const CancelCheck cancelled = [] { return InterruptScope::Interrupted(); };
    PictureJob job = OpenPicture(in, out, o.record, o.batch.overwrite, o.filter, o.maxPixels,
                                 o.acceptDamaged, cancelled);
    const std::vector<Document*> pages = job.Pages();
    if (o.quality > 0)
        for (Document* page : pages)
            page->metadata.jpegCoding.quality = o.quality;

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    ProgressBar bar;
    if (showProgress)
        run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = cancelled;
    const FilterOptions options =
        o.protect.Asked() ? Protect(global, settings, o.filter, *pages[0], o.protect) : o.filter;
    // Every page with the same parameters, through one load of the filter; OUT is written only
    // once all have been filtered.
    FilterRunner filter(global, settings, options);
    FilterResult result;
    for (size_t i = 0; i < pages.size(); ++i) {
        // The strips of rows the filter is done with compress on the other cores meanwhile.
        if (StripEncoder* ahead = job.EncodeAhead(i))
            run.rowsFinal = [ahead](int32_t rows) { ahead->RowsFinal(rows); };
        try {
            result = filter.Run(*pages[i], run, out);
        } catch (const HostFailure& e) {
            if (pages.size() == 1) throw;
            throw HostFailure("page " + std::to_string(i + 1) + ": " + e.what());
        }
    }
    const FilterOptions& f = o.filter;
    if ((f.colors.empty() && !f.action && !f.last) || MovesNothing(result))
        std::cerr << "quillon: note: no adjustment moves any colour; " << out.string()
                  << " is written as " << in.string() << " was read\n";

    SavePicture(job, result, o.record, cancelled);
}

int Apply(const GlobalOptions& global, const HostSettings& settings, const ApplyOptions& o) {
    if (!IsBatch(o.batch)) {
        RunApply(global, settings, o, o.files[0], o.files[1], true);
        return kExitOk;
    }
    return RunBatch(o.batch, BatchInputs(o.batch, o.files),
                    [&](const std::filesystem::path& in, const std::filesystem::path& out) {
                        RunApply(global, settings, o, in, out, false);
                    });
}

} // namespace

void AddApplyCommand(CLI::App& app, const GlobalOptions& global, const HostSettings& settings,
                     int& status) {
    auto options = std::make_shared<ApplyOptions>();
    auto* apply = app.add_subcommand("apply", "filter IN into OUT without the dialog");
    apply->add_option(
        "IN OUT", options->files,
        "picture to filter (PNG, JPEG, TIFF, WebP, HEIF, AVIF) and where to write the result (its "
        "extension may change the format); with --out-dir or --out, the pictures "
        "of a batch (or --files-from)");
    AddFilterOptions(*apply, options->filter);
    apply->add_option("--record", options->record, "write the parameters used as an action file");
    apply->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    apply
        ->add_option("--max-pixels", options->maxPixels,
                     "largest picture to open, in pixels (all pages together)")
        ->check(CLI::Range(int64_t{1}, kLargestImagePixels))
        ->capture_default_str();
    apply
        ->add_option("--quality", options->quality,
                     "quality of a lossy OUT, 1 to 100: JPEG (default: a JPEG IN's own coding, "
                     "else 95), WebP (default: lossless, or 90 for a lossy WebP IN), HEIF and "
                     "AVIF (default 90)")
        ->check(CLI::Range(1, 100));
    apply->add_flag("--accept-damaged", options->acceptDamaged,
                    "filter a picture whose data is damaged instead of refusing it (with a note)");
    AddBatchOptions(*apply, options->batch);
    AddProtectOption(*apply, options->protect);
    apply->callback([apply, &global, &settings, &status, options] {
        GatherFilterOptions(*apply, options->filter);
        CheckBatchArguments(options->batch, options->files, options->record.has_value());
        status = ReportingFailures([&] { return Apply(global, settings, *options); });
    });
}

} // namespace quillon::cli
