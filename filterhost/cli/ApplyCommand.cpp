// quillon apply: one picture through a filter without its dialog.
#include "cli/ColorsCheck.h"
#include "cli/Commands.h"

#include "core/HostFailure.h"
#include "core/actions/ActionFile.h"
#include "core/actions/ConfigFolder.h"
#include "core/documents/AtomicFile.h"
#include "core/documents/ImageFiles.h"
#include "core/session/FilterDriver.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace quillon::cli {
namespace {

using namespace filterhost;

constexpr DescriptorKeyID kKeyPreserveLuminosity = PI_FOURCC('P', 'r', 's', 'L');
constexpr DescriptorKeyID kKeyFuzziness = PI_FOURCC('F', 'z', 'n', 's');
constexpr DescriptorKeyID kKeySampleFile = PI_FOURCC('q', 'l', 'n', 'F');
constexpr DescriptorKeyID kKeyColors = PI_FOURCC('s', 'm', 'p', 'l');

struct ApplyOptions {
    std::filesystem::path in, out;
    std::optional<std::string> colors;
    std::optional<double> fuzziness;
    std::optional<std::string> preserveLuminosity;
    std::optional<std::filesystem::path> sample;
    std::optional<std::filesystem::path> action;
    std::optional<std::filesystem::path> record;
    bool last = false;
    int tile = 256;
    std::string filter = "Quillon...";
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

const PluginModule& FindFilter(const ModuleScan& scan, const std::string& name,
                               const std::filesystem::path& folder) {
    for (const auto& module : scan.modules)
        if (module->Pipl().name == name) return *module;
    std::string why = scan.failures.empty() ? "" : " (" + scan.failures.front() + ")";
    throw HostFailure("no filter named \"" + name + "\" in " + folder.string() + why);
}

std::string SettingsFileName(const PluginModule& module) {
    const std::string key = module.Pipl().uniqueString.empty() ? module.File().stem().string()
                                                               : module.Pipl().uniqueString;
    return key + ".settings";
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw HostFailure("no settings from an earlier use (" + file.string() + ")");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<Descriptor> PlaybackDescriptor(const ApplyOptions& o, const PluginModule& module) {
    std::optional<Descriptor> playback;
    if (o.action) {
        Action action = ReadActionFile(*o.action);
        if (action.pluginKey != module.Pipl().uniqueString)
            throw HostFailure(o.action->string() + ": recorded by another plug-in (" +
                              (action.pluginName.empty() ? action.pluginKey : action.pluginName) +
                              ")");
        playback = std::move(action.descriptor);
    }
    auto put = [&playback](DescriptorItem item) {
        if (!playback) playback.emplace();
        playback->Put(std::move(item));
    };
    if (o.preserveLuminosity)
        put({kKeyPreserveLuminosity, typeBoolean, *o.preserveLuminosity == "on"});
    if (o.fuzziness) put({kKeyFuzziness, typeFloat, *o.fuzziness});
    if (o.sample) put({kKeySampleFile, typeChar, std::filesystem::absolute(*o.sample).string()});
    if (o.colors) put({kKeyColors, typeChar, *o.colors});
    return playback;
}

std::string ResultMessage(int16_t result) {
    switch (result) {
    case userCanceledErr:
        return "cancelled";
    case filterBadParameters:
        return "the filter refused its parameters (bad parameters)";
    case filterBadMode:
        return "the filter cannot work on this document's mode";
    default:
        return "the filter failed with code " + std::to_string(result);
    }
}

// Colors text the plug-in recorded moves no colour.
bool MovesNothing(const RunReport& report) {
    const DescriptorItem* colors = report.recorded ? report.recorded->Find(kKeyColors) : nullptr;
    const auto* text = colors ? std::get_if<std::string>(&colors->value) : nullptr;
    try {
        return text && CheckColorsText(*text).moves == 0;
    } catch (const HostFailure&) {
        return false;
    }
}

int RunApply(const GlobalOptions& global, const ApplyOptions& o) {
    InterruptScope interrupts;
    const CancelCheck cancelled = [] { return gInterrupted.load(); };
    // Everything the run will write is checked before any work.
    CheckWritable(o.out);
    // The format comes from OUT's name, else from the name of the file a link leads to; a
    // device or pipe may have neither and then gets IN's format.
    const bool stream = IsDeviceOrPipe(o.out);
    const auto named = FormatOfName(o.out) ? o.out : WriteTarget(o.out);
    const std::optional<FileFormat> asked =
        stream ? FormatOfName(named) : std::optional<FileFormat>(FormatForOutput(named));
    if (o.record) CheckWritable(*o.record);
    if (o.colors) CheckColorsText(*o.colors);
    const auto folder = PluginFolder(global);
    const ModuleScan scan = ScanPluginFolder(folder);
    const PluginModule& module = FindFilter(scan, o.filter, folder);

    LoadedImage image = ReadImageFile(o.in, o.maxPixels, cancelled);
    const FileFormat format = asked.value_or(image.format);
    std::vector<Document*> pages{&image.document};
    for (Document& page : image.morePages)
        pages.push_back(&page);
    if (pages.size() > 1 && format != FileFormat::Tiff)
        throw HostFailure(o.in.string() + " has " + std::to_string(pages.size()) +
                          " pages and only TIFF holds more than one; " + o.out.string() +
                          " not written");
    for (size_t i = 0; i < pages.size(); ++i)
        for (const std::string& note : pages[i]->notes)
            std::cerr << "quillon: note: " << o.in.string()
                      << (pages.size() > 1 ? " page " + std::to_string(i + 1) : "") << ": " << note
                      << "\n";
    const auto config = ConfigFolder();
    const auto settingsFile = config / SettingsFileName(module);

    FilterHost host(config / "registry.json");
    if (o.last) host.SetDataSlotBytes(ReadBytes(settingsFile));

    RunOptions run;
    run.tileWidth = run.tileHeight = o.tile;
    run.playback = PlaybackDescriptor(o, module);
    ProgressBar bar;
    run.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    run.abort = cancelled;

    // Every page with the same parameters; OUT is written only once all have been filtered.
    RunReport report;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string page = pages.size() > 1 ? "page " + std::to_string(i + 1) + ": " : "";
        try {
            report = host.Run(module, *pages[i], run);
        } catch (const HostFailure& e) {
            throw HostFailure(page + e.what() + "; " + o.out.string() + " not written");
        }
        if (report.result == 0 && gInterrupted) throw Cancelled();
        if (report.result != 0)
            throw HostFailure(page + ResultMessage(report.result) + "; " + o.out.string() +
                              " not written");
    }
    if ((!o.colors && !o.action && !o.last) || MovesNothing(report))
        std::cerr << "quillon: note: no adjustment moves any colour; " << o.out.string()
                  << " is written as " << o.in.string() << " was read\n";

    WriteImageFile(std::vector<const Document*>(pages.begin(), pages.end()), format, o.out,
                   cancelled);
    std::filesystem::create_directories(config);
    const auto settings = host.DataSlotBytes();
    if (!settings.empty()) {
        std::string text(settings.begin(), settings.end());
        WriteFileAtomically(settingsFile, text);
    }
    if (o.record) {
        if (!report.recorded) throw HostFailure("the filter recorded no parameters");
        WriteActionFile({module.Pipl().uniqueString, module.Pipl().name, *report.recorded},
                        *o.record);
    }
    return kExitOk;
}

// A number of the given range; unlike CLI11's Range, "nan" is not one.
CLI::Validator FiniteRange(double low, double high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != 0 || !std::isfinite(v) || v < low || v > high)
                return "Value " + text + " not in range [" + CLI::detail::to_string(low) + " - " +
                       CLI::detail::to_string(high) + "]";
            return {};
        },
        "FLOAT in [" + CLI::detail::to_string(low) + " - " + CLI::detail::to_string(high) + "]");
}

} // namespace

void AddApplyCommand(CLI::App& app, const GlobalOptions& global, int& status) {
    auto options = std::make_shared<ApplyOptions>();
    auto* apply = app.add_subcommand("apply", "filter IN into OUT without the dialog");
    apply->add_option("IN", options->in, "picture to filter (PNG, JPEG, TIFF)")->required();
    apply
        ->add_option("OUT", options->out,
                     "where to write the result; its extension may change the format")
        ->required();
    apply->add_option(
        "--colors", options->colors,
        "adjustments as a Colors text, e.g. \"Lab[20000,16384,16384]:Lab[22000,17000,15000] \"");
    apply->add_option("--fuzziness", options->fuzziness, "reach of each adjustment, 1 to 10")
        ->check(FiniteRange(1.0, 10.0));
    apply->add_option("--preserve-luminosity", options->preserveLuminosity, "on or off")
        ->check(CLI::IsMember({"on", "off"}));
    apply->add_option("--sample", options->sample, "the sample picture to record with the action")
        ->check(CLI::ExistingFile);
    apply->add_option("--action", options->action, "replay a recorded action (JSON file)")
        ->check(CLI::ExistingFile);
    apply->add_option("--record", options->record, "write the parameters used as an action file");
    apply->add_flag("--last", options->last, "repeat the previous use's settings");
    apply->add_option("--tile", options->tile, "tile size in pixels")->check(CLI::Range(1, 32767));
    apply->add_option("--filter", options->filter, "menu name of the filter to use");
    apply
        ->add_option("--max-pixels", options->maxPixels,
                     "largest picture to open, in pixels (all pages together)")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    apply->callback([&global, &status, options] {
        try {
            status = RunApply(global, *options);
        } catch (const HostFailure& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        } catch (const Cancelled&) {
            std::cerr << "quillon: cancelled; " << options->out.string() << " not written\n";
            status = kExitFailure;
        } catch (const std::bad_alloc&) {
            std::cerr << "quillon: out of memory; " << options->out.string()
                      << " not written (--max-pixels refuses larger pictures sooner)\n";
            status = kExitFailure;
        } catch (const std::exception& e) {
            std::cerr << "quillon: " << e.what() << "\n";
            status = kExitFailure;
        }
    });
}

} // namespace quillon::cli
