#include "ui/AdmItem.h"

#include "ui/AdmCanvasItems.h"
#include "ui/AdmControlItems.h"
#include "ui/AdmDialog.h"
#include "ui/DialogManager.h"

#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>

namespace quillon::ui {
namespace {

using MakeFn = std::unique_ptr<AdmItem> (*)(AdmDialog&, ADMInt32, const std::string&);

template <typename Kind>
std::unique_ptr<AdmItem> Make(AdmDialog& dialog, ADMInt32 id, const std::string& typeName) {
    return std::make_unique<Kind>(dialog, id, typeName);
}

const std::map<std::string, MakeFn>& KindsByName() {
    static const std::map<std::string, MakeFn> kKinds = {
        {kADMFrameType, &Make<FrameItem>},
        {kADMTextStaticType, &Make<TextStaticItem>},
        {kADMPictureStaticType, &Make<PictureStaticItem>},
        {kADMPopupMenuType, &Make<PopupMenuItem>},
        {kADMPicturePushButtonType, &Make<PicturePushButtonItem>},
        {kADMSliderType, &Make<SliderItem>},
        {kADMTextEditType, &Make<TextEditItem>},
        {kADMTextCheckBoxType, &Make<CheckBoxItem>},
        {kADMTextPushButtonType, &Make<PushButtonItem>}};
    return kKinds;
}

} // namespace

bool IsItemType(const std::string& typeName) {
    return KindsByName().count(typeName) != 0;
}

std::unique_ptr<AdmItem> MakeItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName) {
    const auto it = KindsByName().find(typeName);
    return it == KindsByName().end() ? nullptr : it->second(dialog, id, typeName);
}

AdmItem::AdmItem(AdmDialog& dialog, ADMInt32 id, std::string typeName)
    : dialog_(dialog), id_(id), typeName_(std::move(typeName)),
      lent_(dialog.Manager().Handles(), this, filterhost::HandleKind::Item) {}

AdmItem::~AdmItem() = default;

void AdmItem::Adopt(QWidget* widget) {
    widget_ = widget;
    widget_->setAttribute(Qt::WA_NoMousePropagation);
    filter_.emplace(*widget_, dialog_);
    ShowValue();
}

void AdmItem::SetText(const std::string& text) {
    text_ = text;
    ShowText(text);
}

void AdmItem::SetFloat(float value) {
    if (std::isnan(value)) return;
    value_ = std::clamp(value, minimum_, std::max(minimum_, maximum_));
    ShowValue();
}

void AdmItem::SetMinimum(float minimum) {
    if (std::isnan(minimum)) return;
    minimum_ = minimum;
    maximum_ = std::max(maximum_, minimum_);
    SetFloat(value_);
}

void AdmItem::SetMaximum(float maximum) {
    if (std::isnan(maximum)) return;
    maximum_ = maximum;
    minimum_ = std::min(minimum_, maximum_);
    SetFloat(value_);
}

void AdmItem::SetPrecision(int decimals) {
    precision_ = std::clamp(decimals, 0, 6);
    ShowValue();
}

void AdmItem::SetBoolean(bool value) {
    boolean_ = value;
    ShowValue();
}

void AdmItem::SetPicture(ADMInt32 resourceID) {
    picture_ = resourceID;
    ShowPicture();
}

void AdmItem::ShowValue() {
    updating_ = true;
    PutValue();
    updating_ = false;
}

bool AdmItem::Track(AdmTracker& tracker) {
    if (!track || !MaskAllows(mask, tracker.action)) return false;
    return track(Ref(), reinterpret_cast<ADMTrackerRef>(&tracker));
}

void AdmItem::Notify(const char* type) {
    AdmNotifier notifier{this, &dialog_, type};
    const LentHandle lent(dialog_.Manager().Handles(), &notifier, filterhost::HandleKind::Notifier);
    if (notify)
        notify(Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        DefaultNotify(notifier);
}

// Items pass what they notify on to their dialog.
void AdmItem::DefaultNotify(AdmNotifier& notifier) {
    if (dialog_.notify)
        dialog_.notify(dialog_.Ref(), reinterpret_cast<ADMNotifierRef>(&notifier));
    else
        dialog_.DefaultNotify(notifier);
}

} // namespace quillon::ui
