// The exported resource table through which the host finds the module's resources.
#include "pluginapi/PIResources.h"
#include "resources/DialogResources.h"
#include "resources/PluginResources.h"
#include "resources/SampleChart.h"

namespace {

const std::vector<uint8_t> kPropertyList = quillon::resources::BuildPropertyList();
const std::vector<uint8_t> kTerminology = quillon::resources::BuildTerminology();
const std::vector<uint8_t> kAboutDialog = quillon::resources::BuildAboutDialog();
const std::vector<uint8_t> kMainDialog = quillon::resources::BuildMainDialog();

PIResourceEntry Entry(uint32 type, int32 id, std::span<const uint8_t> bytes) {
    return {type, id, bytes.data(), static_cast<uint32>(bytes.size())};
}

std::vector<PIResourceEntry> MakeEntries() {
    std::vector<PIResourceEntry> entries = {
        Entry(kPIPropertyListType, kPIPropertyListID, kPropertyList),
        Entry(kPITerminologyType, quillon::resources::kTerminologyID, kTerminology),
        Entry(kPIDialogType, quillon::resources::kAboutDialogID, kAboutDialog),
        Entry(kPIDialogType, quillon::resources::kMainDialogID, kMainDialog),
        Entry(kPIBitmapType, quillon::resources::kAboutPictureID,
              quillon::resources::AboutPicture()),
        Entry(kPIFilesType, quillon::resources::kSampleChartID, quillon::resources::SampleChart()),
    };
    for (const auto& icon : quillon::resources::DialogIcons())
        entries.push_back(Entry(kPIIconType, icon.id, icon.bytes));
    return entries;
}

const std::vector<PIResourceEntry> kEntries = MakeEntries();

} // namespace

extern "C" __attribute__((visibility("default")))
const PIResourceDirectory PIResourceTable = {static_cast<int32>(kEntries.size()), kEntries.data()};
