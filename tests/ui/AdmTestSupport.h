// A host with the dialog manager and in-memory plug-in resources, and the suites acquired through
// the basic suite, as a plug-in acquires them.
#pragma once

#include "core/session/FilterSession.h"
#include "pluginapi/ADMDialogTemplate.h"
#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIResources.h"
#include "pluginapi/PIUIHooks.h"
#include "resources/DialogResources.h"
#include "ui/AdmDrawer.h"
#include "ui/AdmItem.h"
#include "ui/CanvasWidget.h"
#include "ui/DialogManager.h"
#include "ui/ScriptRunner.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {

struct Suites {
    const ADMBasicSuite8* basic;
    const ADMDialogSuite4* dialog;
    const ADMItemSuite3* item;
    const ADMDrawerSuite3* drawer;
    const ADMImageSuite2* image;
    const ADMIconSuite1* icon;
    const ADMNotifierSuite1* notifier;
    const ADMTrackerSuite1* tracker;
    const ADMEntrySuite2* entry;
    const ADMListSuite1* list;
    const PSUIHooksSuite1* hooks;
};

// The suites of the running test, for the plug-in callbacks.
extern Suites gSuites;

// A bitmap resource of the given size whose pixels are all one colour.
std::vector<uint8_t> SolidBitmap(uint16_t width, uint16_t height, uint8_t bitsPerPixel,
                                 const std::vector<uint8_t>& pixel);

class AdmTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void AddResource(uint32_t type, int32_t id, std::vector<uint8_t> bytes) {
        resources_[{type, id}] = std::move(bytes);
    }
    // Runs dialog 1 (set with SetTemplate) modally, replaying the script against it.
    ADMInt32 Run(ADMDialogInitProc init, const std::string& script);
    void SetTemplate(uint16_t width, uint16_t height,
                     const std::vector<resources::TemplateItem>& items);

    filterhost::FilterSession session_;
    ui::DialogManager* manager_ = nullptr;
    std::vector<std::string> errors_;
    std::string scriptFailure_;

  private:
    std::map<std::pair<uint32_t, int32_t>, std::vector<uint8_t>> resources_;
};

inline constexpr int32_t kTestDialog = 1;

} // namespace quillon::test
