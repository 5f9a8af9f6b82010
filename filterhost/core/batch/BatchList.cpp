#include "core/batch/BatchList.h"

#include "core/HostFailure.h"

#include <algorithm>
#include <charconv>

namespace quillon::filterhost {
namespace {

// A whole number of at most 7 digits that is all of text.
std::optional<size_t> Number(std::string_view text) {
    if (text.empty() || text.size() > 7) return std::nullopt;
    size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text.substr(0, 64)) + (text.size() > 64 ? "...\"" : "\"");
}

} // namespace

std::vector<std::filesystem::path> ParseFileList(std::string_view text, const std::string& shown) {
    std::vector<std::filesystem::path> files;
    size_t line = 0;
    for (size_t at = 0; at < text.size();) {
        ++line;
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view entry = text.substr(at, end - at);
        at = end + 1;
        if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
        const std::string where = shown + ", line " + std::to_string(line) + ": ";
        if (entry.size() > kMaxListLine)
            throw HostFailure(where + "longer than " + std::to_string(kMaxListLine) +
                              " bytes; one path a line expected");
        if (entry.find('\0') != std::string_view::npos)
            throw HostFailure(where + "holds a NUL byte; one path a line expected");
        if (entry.empty()) continue;
        if (files.size() == kMaxListedFiles)
            throw HostFailure(shown + ": more than " + std::to_string(kMaxListedFiles) + " paths");
        files.emplace_back(std::string(entry));
    }
    return files;
}

Shard ParseShard(std::string_view text, const Environment& environment) {
    const size_t slash = text.find('/');
    const std::string usage = Quoted(text) + ": expected K/N or auto/N, with N from 1 to " +
                              std::to_string(kMaxShards) + " and K from 0 to N-1";
    if (slash == std::string_view::npos) throw HostFailure(usage);
    const std::optional<size_t> count = Number(text.substr(slash + 1));
    if (!count || *count < 1 || *count > kMaxShards) throw HostFailure(usage);
    const std::string_view which = text.substr(0, slash);
    if (which != "auto") {
        const std::optional<size_t> index = Number(which);
        if (!index || *index >= *count) throw HostFailure(usage);
        return {*index, *count};
    }
    for (const char* name : kShardIndexVariables) {
        const char* value = environment(name);
        if (!value) continue;
        std::optional<size_t> index = Number(value);
        const std::string slurm = kShardIndexVariables[1];
        const char* first = name == slurm ? environment("SLURM_ARRAY_TASK_MIN") : nullptr;
        if (index && first) {
            const std::optional<size_t> from = Number(first);
            index = from && *from <= *index ? std::optional<size_t>(*index - *from) : std::nullopt;
        }
        if (!index || *index >= *count)
            throw HostFailure("auto/" + std::to_string(*count) + ": " + name + " is " +
                              Quoted(value) + ", not an index from 0 to " +
                              std::to_string(*count - 1));
        return {*index, *count};
    }
    throw HostFailure("auto/" + std::to_string(*count) +
                      ": no array index in the environment (JOB_COMPLETION_INDEX, "
                      "SLURM_ARRAY_TASK_ID or AWS_BATCH_JOB_ARRAY_INDEX)");
}

std::vector<std::filesystem::path> SortedList(std::vector<std::filesystem::path> inputs) {
    std::sort(inputs.begin(), inputs.end(),
              [](const auto& a, const auto& b) { return a.native() < b.native(); });
    inputs.erase(std::unique(inputs.begin(), inputs.end(),
                             [](const auto& a, const auto& b) { return a.native() == b.native(); }),
                 inputs.end());
    return inputs;
}

} // namespace quillon::filterhost
