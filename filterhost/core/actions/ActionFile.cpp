#include "core/actions/ActionFile.h"

#include "core/HostFailure.h"
#include "core/documents/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace quillon::filterhost {
namespace {

using nlohmann::json;
constexpr const char* kFormat = "quillon-action";
constexpr int kVersion = 1;
// Recorded actions are small; anything larger is not one of ours.
constexpr std::uintmax_t kMaxActionBytes = 16u << 20;

} // namespace

Action ParseAction(const std::string& text) {
    try {
        const json root = json::parse(text);
        if (!root.is_object() || root.value("format", "") != kFormat)
            throw HostFailure("not a quillon action file");
        const json version = root.value("version", json());
        if (!version.is_number_integer() || version.get<int64_t>() != kVersion)
            throw HostFailure("action file version " + version.dump() + " is not supported");
        Action action;
        action.pluginKey = root.at("plugin").get<std::string>();
        action.pluginName = root.value("name", "");
        action.descriptor = DescriptorFromJson(root.at("descriptor").dump());
        // Files recorded at full strength carry no amount.
        if (root.contains("amount")) {
            const json& amount = root.at("amount");
            if (!amount.is_number() || !(amount.get<double>() >= 0 && amount.get<double>() <= 100))
                throw HostFailure("action file amount " + amount.dump() + " is not within 0..100");
            action.amount = amount.get<double>();
        }
        return action;
    } catch (const json::exception& e) {
        throw HostFailure(std::string("malformed action file: ") + e.what());
    }
}

Action ReadActionFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        throw HostFailure("cannot read action file " + file.string() + ": " + error.message());
    if (size > kMaxActionBytes) throw HostFailure(file.string() + ": too large for an action file");
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw HostFailure("cannot read action file " + file.string());
    try {
        return ParseAction(text.str());
    } catch (const HostFailure& e) {
        throw HostFailure(file.string() + ": " + e.what());
    }
}

void WriteActionFile(const Action& action, const std::filesystem::path& file) {
    json root = {{"format", kFormat},
                 {"version", kVersion},
                 {"plugin", action.pluginKey},
                 {"name", action.pluginName},
                 {"descriptor", json::parse(DescriptorToJson(action.descriptor))}};
    if (action.amount != 100) root["amount"] = action.amount;
    WriteFileAtomically(file, root.dump(2) + "\n");
}

} // namespace quillon::filterhost
