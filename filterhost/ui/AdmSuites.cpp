#include "ui/AdmSuites.h"

#include "ui/AdmSuiteSupport.h"

namespace quillon::ui {
namespace {

struct Offered {
    const char* name;
    int32 version;
    const void* suite;
};

const Offered kOffered[] = {
    {kADMBasicSuite, kADMBasicSuiteVersion8, &kBasicSuite8},
    {kADMBasicSuite, kADMBasicSuiteVersion9, &kBasicSuite9},
    {kADMDialogSuite, kADMDialogSuiteVersion4, &kDialogSuite},
    {kADMItemSuite, kADMItemSuiteVersion3, &kItemSuite},
    {kADMDrawerSuite, kADMDrawerSuiteVersion3, &kDrawerSuite},
    {kADMImageSuite, kADMImageSuiteVersion2, &kImageSuite},
    {kADMIconSuite, kADMIconSuiteVersion1, &kIconSuite},
    {kADMNotifierSuite, kADMNotifierSuiteVersion1, &kNotifierSuite},
    {kADMTrackerSuite, kADMTrackerSuiteVersion1, &kTrackerSuite},
    {kADMEntrySuite, kADMEntrySuiteVersion2, &kEntrySuite},
    {kADMListSuite, kADMListSuiteVersion1, &kListSuite},
    {kPSUIHooksSuite, kPSUIHooksSuiteVersion3, &kUIHooksSuite},
};

} // namespace

AdmSuiteOffer::AdmSuiteOffer(filterhost::SuiteRegistry& suites) : suites_(suites) {
    for (const Offered& o : kOffered)
        suites_.Offer(o.name, o.version, o.suite);
}

AdmSuiteOffer::~AdmSuiteOffer() {
    for (const Offered& o : kOffered)
        suites_.Withdraw(o.name, o.version);
}

} // namespace quillon::ui
