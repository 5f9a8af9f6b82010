// Every entry point checks its handles against the live objects, so a stale or foreign handle
// does nothing instead of crashing, and nothing thrown inside escapes into the plug-in.
#include "ui/AdmSuites.h"

#include "pluginapi/PIUIHooks.h"
#include "ui/AdmObjects.h"
#include "ui/DialogManager.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

#include <cstring>

namespace quillon::ui {
namespace {

DialogManager* M() {
    return DialogManager::Current();
}

template <typename T, typename Ref> T* Live(Ref ref) {
    auto* object = reinterpret_cast<T*>(ref);
    return M() && M()->IsLive(object) ? object : nullptr;
}

AdmDialog* D(ADMDialogRef ref) {
    return Live<AdmDialog>(ref);
}
AdmItem* I(ADMItemRef ref) {
    return Live<AdmItem>(ref);
}
AdmDrawer* Dr(ADMDrawerRef ref) {
    return Live<AdmDrawer>(ref);
}
AdmImage* Im(ADMImageRef ref) {
    return Live<AdmImage>(ref);
}
AdmIcon* Ic(ADMIconRef ref) {
    return Live<AdmIcon>(ref);
}
AdmNotifier* N(ADMNotifierRef ref) {
    return Live<AdmNotifier>(ref);
}
AdmTracker* T(ADMTrackerRef ref) {
    return Live<AdmTracker>(ref);
}
AdmEntry* E(ADMEntryRef ref) {
    return Live<AdmEntry>(ref);
}
AdmList* L(ADMListRef ref) {
    return Live<AdmList>(ref);
}

// Runs a body, turning anything thrown into the fallback value.
template <typename R, typename F> R Safe(R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}
template <typename F> void Safe(F&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

QRect ToQt(const ADMRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
ADMRect ToAdm(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

// --- basic ----------------------------------------------------------------------------------

void Alert(const char* text, bool error) {
    if (!text) return;
    QWidget* parent = M() ? M()->TopDialog() : nullptr;
    if (error)
        QMessageBox::critical(parent, "Error", QString::fromUtf8(text));
    else
        QMessageBox::information(parent, "Quillon", QString::fromUtf8(text));
}

void ErrorAlert(const char* text) noexcept {
    Safe([&] { Alert(text, true); });
}
void MessageAlert(const char* text) noexcept {
    Safe([&] { Alert(text, false); });
}

void GetScreenDimensions(const ADMPoint* point, ADMRect* area) noexcept {
    if (!area) return;
    *area = {};
    Safe([&] {
        QScreen* screen = point ? QGuiApplication::screenAt(QPoint(point->h, point->v)) : nullptr;
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (screen) *area = ToAdm(screen->availableGeometry());
    });
}

// "Description (*.a, *.b)" with "*.a;*.b" becomes Qt's "Description (*.a *.b)"; "*.*" means
// every file, with or without an extension.
QStringList NameFilters(const char* filters) {
    QStringList list;
    for (const char* p = filters; p && *p;) {
        const QString description = QString::fromUtf8(p);
        p += std::strlen(p) + 1;
        if (!*p) break;
        QString patterns = QString::fromUtf8(p).replace(';', ' ');
        p += std::strlen(p) + 1;
        if (patterns.trimmed() == "*.*") patterns = "*";
        const qsizetype open = description.lastIndexOf('(');
        const QString name = (open > 0 ? description.left(open) : description).trimmed();
        list << name + " (" + patterns + ")";
    }
    return list;
}

ADMBoolean GetFile(ADMDialogRef owner, const char* message, const char* filters, char* path,
                   ADMInt32 pathSize) noexcept {
    if (!path || pathSize <= 0) return false;
    path[0] = 0;
    return Safe<ADMBoolean>(false, [&]() -> ADMBoolean {
        QWidget* parent = owner ? static_cast<QWidget*>(D(owner)) : nullptr;
        if (owner && !parent) return false;
        if (!parent && M()) parent = M()->TopDialog();
        // Qt's own dialog, so that scripts drive it like any other window.
        QFileDialog dialog(parent, QString::fromUtf8(message ? message : ""));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        const QStringList names = NameFilters(filters);
        if (!names.isEmpty()) dialog.setNameFilters(names);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        const QByteArray chosen = dialog.selectedFiles().first().toUtf8();
        if (chosen.size() >= pathSize) return false;
        std::memcpy(path, chosen.constData(), size_t(chosen.size()) + 1);
        return true;
    });
}

const ADMBasicSuite8 kBasic = {&ErrorAlert, &MessageAlert, &GetScreenDimensions};
const ADMBasicSuite9 kBasic9 = {&ErrorAlert, &MessageAlert, &GetScreenDimensions, &GetFile};

// --- dialog ---------------------------------------------------------------------------------

ADMInt32 Modal(ADMPluginRef, const char*, ADMInt32 id, ADMInt32, ADMDialogInitProc init,
               ADMUserData data, ADMInt32) noexcept {
    return Safe<ADMInt32>(kADMDialogFailedResult, [&] {
        return M() ? M()->RunModal(id, init, data, false) : kADMDialogFailedResult;
    });
}

ADMInt32 PopupModal(ADMPluginRef, const char*, ADMInt32 id, ADMDialogInitProc init,
                    ADMUserData data, ADMInt32) noexcept {
    return Safe<ADMInt32>(kADMDialogFailedResult, [&] {
        return M() ? M()->RunModal(id, init, data, true) : kADMDialogFailedResult;
    });
}

void EndModal(ADMDialogRef ref, ADMInt32 id, ADMBoolean) noexcept {
    if (AdmDialog* d = D(ref)) Safe([&] { d->EndModal(id); });
}

ADMUserData DialogUserData(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    return d ? d->userData : nullptr;
}

void DialogSetText(ADMDialogRef ref, const char* text) noexcept {
    if (AdmDialog* d = D(ref)) Safe([&] { d->setWindowTitle(QString::fromUtf8(Text(text))); });
}

void DialogGetBounds(ADMDialogRef ref, ADMRect* bounds) noexcept {
    if (!bounds) return;
    *bounds = {};
    if (AdmDialog* d = D(ref)) *bounds = ToAdm(d->geometry());
}

void DialogSetBounds(ADMDialogRef ref, const ADMRect* bounds) noexcept {
    AdmDialog* d = D(ref);
    if (d && bounds && bounds->right > bounds->left && bounds->bottom > bounds->top)
        Safe([&] { d->setGeometry(ToQt(*bounds)); });
}

void DialogGetLocalRect(ADMDialogRef ref, ADMRect* rect) noexcept {
    if (!rect) return;
    *rect = {};
    if (AdmDialog* d = D(ref)) *rect = {0, 0, d->width(), d->height()};
}

void SetMinWidth(ADMDialogRef ref, ADMInt32 width) noexcept {
    if (AdmDialog* d = D(ref)) Safe([&] { d->SetMinimumClientSize(width, d->minimumHeight()); });
}

void SetMinHeight(ADMDialogRef ref, ADMInt32 height) noexcept {
    if (AdmDialog* d = D(ref)) Safe([&] { d->SetMinimumClientSize(d->minimumWidth(), height); });
}

void DialogSetTrackProc(ADMDialogRef ref, ADMDialogTrackProc proc) noexcept {
    if (AdmDialog* d = D(ref)) d->track = proc;
}

// Nothing beyond the toolkit's own handling, which runs when the event is not handled.
ADMBoolean DialogDefaultTrack(ADMDialogRef, ADMTrackerRef) noexcept {
    return false;
}

void DialogSetMask(ADMDialogRef ref, ADMInt32 mask) noexcept {
    if (AdmDialog* d = D(ref)) d->mask = mask;
}

void DialogSetNotifyProc(ADMDialogRef ref, ADMDialogNotifyProc proc) noexcept {
    if (AdmDialog* d = D(ref)) d->notify = proc;
}

void DialogDefaultNotify(ADMDialogRef ref, ADMNotifierRef notifier) noexcept {
    AdmDialog* d = D(ref);
    AdmNotifier* n = N(notifier);
    if (d && n) Safe([&] { d->DefaultNotify(*n); });
}

void DialogInvalidate(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    if (!d) return;
    Safe([&] {
        for (const auto& item : d->Items())
            if (item->Canvas()) item->Canvas()->MarkInvalid();
        d->update();
    });
}

ADMItemRef GetItem(ADMDialogRef ref, ADMInt32 id) noexcept {
    AdmDialog* d = D(ref);
    AdmItem* item = d ? d->Item(id) : nullptr;
    return item ? item->Ref() : nullptr;
}

ADMItemRef CreateItem(ADMDialogRef ref, ADMInt32 id, const char* type, const ADMRect* bounds,
                      ADMItemInitProc init, ADMUserData data) noexcept {
    AdmDialog* d = D(ref);
    if (!d || !type || !bounds) return nullptr;
    AdmItem* item = Safe<AdmItem*>(nullptr, [&]() -> AdmItem* {
        if (id != 0 && d->Item(id)) return nullptr;
        ItemKind kind;
        if (!KindOfType(type, kind)) {
            M()->ReportError(std::string("unknown dialog item type \"") + type + "\"");
            return nullptr;
        }
        return d->CreateItem(id, type, ToQt(*bounds));
    });
    if (!item) return nullptr;
    item->userData = data;
    if (init) init(item->Ref());
    return item->Ref();
}

ADMTimerID CreateTimer(ADMDialogRef ref, ADMInt32 ms, ADMDialogTimerProc proc) noexcept {
    AdmDialog* d = D(ref);
    return d ? Safe<ADMTimerID>(0, [&] { return d->StartTimer(ms, proc); }) : 0;
}

void AbortTimer(ADMDialogRef ref, ADMTimerID timer) noexcept {
    if (AdmDialog* d = D(ref)) Safe([&] { d->AbortTimer(timer); });
}

void* GetWindowRef(ADMDialogRef ref) noexcept {
    AdmDialog* d = D(ref);
    return d ? Safe<void*>(nullptr, [&] { return reinterpret_cast<void*>(d->winId()); }) : nullptr;
}

const ADMDialogSuite4 kDialog = {&Modal,
                                 &PopupModal,
                                 &EndModal,
                                 &DialogUserData,
                                 &DialogSetText,
                                 &DialogGetBounds,
                                 &DialogSetBounds,
                                 &DialogGetLocalRect,
                                 &SetMinWidth,
                                 &SetMinHeight,
                                 &DialogSetTrackProc,
                                 &DialogDefaultTrack,
                                 &DialogSetMask,
                                 &DialogSetNotifyProc,
                                 &DialogDefaultNotify,
                                 &DialogInvalidate,
                                 &GetItem,
                                 &CreateItem,
                                 &CreateTimer,
                                 &AbortTimer,
                                 &GetWindowRef};

// --- item -----------------------------------------------------------------------------------

void ItemSetDrawProc(ADMItemRef ref, ADMItemDrawProc proc) noexcept {
    AdmItem* i = I(ref);
    if (!i) return;
    i->draw = proc;
    if (i->Canvas()) i->Canvas()->MarkInvalid();
}

void ItemSetTrackProc(ADMItemRef ref, ADMItemTrackProc proc) noexcept {
    if (AdmItem* i = I(ref)) i->track = proc;
}

ADMBoolean ItemDefaultTrack(ADMItemRef, ADMTrackerRef) noexcept {
    return false;
}

void ItemSetMask(ADMItemRef ref, ADMInt32 mask) noexcept {
    if (AdmItem* i = I(ref)) i->mask = mask;
}

void ItemSetNotifyProc(ADMItemRef ref, ADMItemNotifyProc proc) noexcept {
    if (AdmItem* i = I(ref)) i->notify = proc;
}

void ItemDefaultNotify(ADMItemRef ref, ADMNotifierRef notifier) noexcept {
    AdmItem* i = I(ref);
    AdmNotifier* n = N(notifier);
    if (i && n) Safe([&] { i->DefaultNotify(*n); });
}

void ItemSetUserData(ADMItemRef ref, ADMUserData data) noexcept {
    if (AdmItem* i = I(ref)) i->userData = data;
}

ADMUserData ItemGetUserData(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->userData : nullptr;
}

ADMInt32 ItemGetID(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->ID() : 0;
}

ADMDialogRef ItemGetDialog(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Dialog().Ref() : nullptr;
}

void ItemGetBounds(ADMItemRef ref, ADMRect* bounds) noexcept {
    if (!bounds) return;
    *bounds = {};
    if (AdmItem* i = I(ref)) *bounds = ToAdm(i->Widget()->geometry());
}

void ItemSetBounds(ADMItemRef ref, const ADMRect* bounds) noexcept {
    AdmItem* i = I(ref);
    if (i && bounds && bounds->right >= bounds->left && bounds->bottom >= bounds->top)
        Safe([&] { i->Widget()->setGeometry(ToQt(*bounds)); });
}

void ItemGetLocalRect(ADMItemRef ref, ADMRect* rect) noexcept {
    if (!rect) return;
    *rect = {};
    if (AdmItem* i = I(ref)) *rect = {0, 0, i->Widget()->width(), i->Widget()->height()};
}

void ScreenToLocalPoint(ADMItemRef ref, ADMPoint* point) noexcept {
    AdmItem* i = I(ref);
    if (!i || !point) return;
    const QPoint local = i->Widget()->mapFromGlobal(QPoint(point->h, point->v));
    *point = {local.x(), local.y()};
}

void ItemInvalidate(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    if (!i) return;
    if (i->Canvas())
        i->Canvas()->MarkInvalid();
    else
        i->Widget()->update();
}

void ItemEnable(ADMItemRef ref, ADMBoolean enable) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->Widget()->setEnabled(enable); });
}

ADMBoolean ItemIsEnabled(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->Widget()->isEnabled();
}

void ItemSetText(ADMItemRef ref, const char* text) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetText(Text(text)); });
}

ADMInt32 ItemGetText(ADMItemRef ref, char* text, ADMInt32 maxLength) noexcept {
    if (text && maxLength > 0) text[0] = 0;
    AdmItem* i = I(ref);
    if (!i) return 0;
    return Safe<ADMInt32>(0, [&] {
        const std::string value = i->Text();
        if (text && maxLength > 0) {
            const size_t n = std::min(value.size(), size_t(maxLength - 1));
            std::memcpy(text, value.data(), n);
            text[n] = 0;
        }
        return ADMInt32(std::min<size_t>(value.size(), INT32_MAX));
    });
}

void SetFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetFloat(value); });
}

ADMReal GetFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Float() : 0.0f;
}

void SetMinFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetMinimum(value); });
}

void SetMaxFloatValue(ADMItemRef ref, ADMReal value) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetMaximum(value); });
}

ADMReal GetMinFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Minimum() : 0.0f;
}

ADMReal GetMaxFloatValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i ? i->Maximum() : 0.0f;
}

void SetPrecision(ADMItemRef ref, ADMInt32 decimals) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetPrecision(decimals); });
}

void SetBooleanValue(ADMItemRef ref, ADMBoolean value) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetBoolean(value); });
}

ADMBoolean GetBooleanValue(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->Boolean();
}

ADMListRef GetList(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    return i && i->List() ? reinterpret_cast<ADMListRef>(i->List()) : nullptr;
}

void SetPictureID(ADMItemRef ref, ADMInt32 id) noexcept {
    if (AdmItem* i = I(ref)) Safe([&] { i->SetPicture(id); });
}

ADMDrawerRef CreateDrawer(ADMItemRef ref) noexcept {
    AdmItem* i = I(ref);
    if (!i || !i->Canvas()) return nullptr;
    return Safe<ADMDrawerRef>(
        nullptr, [&] { return reinterpret_cast<ADMDrawerRef>(new AdmDrawer(*i, true)); });
}

void DestroyDrawer(ADMDrawerRef ref) noexcept {
    // Only drawers this suite made are deleted; those handed to draw callbacks belong to the host.
    AdmDrawer* d = Dr(ref);
    if (d && d->Immediate()) Safe([&] { delete d; });
}

const ADMItemSuite3 kItem = {
    &ItemSetDrawProc,   &ItemSetTrackProc,   &ItemDefaultTrack, &ItemSetMask,
    &ItemSetNotifyProc, &ItemDefaultNotify,  &ItemSetUserData,  &ItemGetUserData,
    &ItemGetID,         &ItemGetDialog,      &ItemGetBounds,    &ItemSetBounds,
    &ItemGetLocalRect,  &ScreenToLocalPoint, &ItemInvalidate,   &ItemEnable,
    &ItemIsEnabled,     &ItemSetText,        &ItemGetText,      &SetFloatValue,
    &GetFloatValue,     &SetMinFloatValue,   &SetMaxFloatValue, &GetMinFloatValue,
    &GetMaxFloatValue,  &SetPrecision,       &SetBooleanValue,  &GetBooleanValue,
    &GetList,           &SetPictureID,       &CreateDrawer,     &DestroyDrawer};

// --- drawer ---------------------------------------------------------------------------------

void SetRGBColor(ADMDrawerRef ref, const ADMRGBColor* color) noexcept {
    if (AdmDrawer* d = Dr(ref); d && color)
        d->SetColor(QColor(color->red >> 8, color->green >> 8, color->blue >> 8));
}

void SetADMColor(ADMDrawerRef ref, ADMInt32 number) noexcept {
    if (AdmDrawer* d = Dr(ref)) d->SetColor(StandardColor(number));
}

void SetDrawMode(ADMDrawerRef ref, ADMInt32 mode) noexcept {
    if (AdmDrawer* d = Dr(ref)) d->SetMode(mode == kADMXORMode ? kADMXORMode : kADMNormalMode);
}

void DrawLine(ADMDrawerRef ref, const ADMPoint* from, const ADMPoint* to) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && from && to) Safe([&] { d->Line(QPoint(from->h, from->v), QPoint(to->h, to->v)); });
}

void DrawPolygon(ADMDrawerRef ref, const ADMPoint* points, ADMInt32 count) noexcept {
    AdmDrawer* d = Dr(ref);
    if (!d || !points || count <= 0 || count > 1 << 20) return;
    Safe([&] {
        std::vector<QPoint> qt;
        qt.reserve(size_t(count));
        for (ADMInt32 i = 0; i < count; ++i)
            qt.emplace_back(points[i].h, points[i].v);
        d->Polygon(qt);
    });
}

void DrawRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) Safe([&] { d->Rect(ToQt(*rect)); });
}

void FillRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) Safe([&] { d->Fill(ToQt(*rect)); });
}

void DrawSunkenRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) Safe([&] { d->Frame(ToQt(*rect), true); });
}

void DrawRaisedRect(ADMDrawerRef ref, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    if (d && rect) Safe([&] { d->Frame(ToQt(*rect), false); });
}

void DrawIconCentered(ADMDrawerRef ref, ADMIconRef icon, const ADMRect* rect) noexcept {
    AdmDrawer* d = Dr(ref);
    AdmIcon* i = Ic(icon);
    if (d && i && rect) Safe([&] { d->Icon(i->image, ToQt(*rect)); });
}

void DrawADMImage(ADMDrawerRef ref, ADMImageRef image, const ADMPoint* at) noexcept {
    AdmDrawer* d = Dr(ref);
    AdmImage* i = Im(image);
    if (d && i && at) Safe([&] { d->Image(i->image, QPoint(at->h, at->v)); });
}

const ADMDrawerSuite3 kDrawer = {&SetRGBColor,    &SetADMColor,      &SetDrawMode, &DrawLine,
                                 &DrawPolygon,    &DrawRect,         &FillRect,    &DrawSunkenRect,
                                 &DrawRaisedRect, &DrawIconCentered, &DrawADMImage};

// --- image and icon -------------------------------------------------------------------------

constexpr ADMInt32 kMaxImageExtent = 16384;

ADMImageRef ImageCreate(ADMInt32 width, ADMInt32 height) noexcept {
    if (!M() || width < 1 || height < 1 || width > kMaxImageExtent || height > kMaxImageExtent)
        return nullptr;
    return Safe<ADMImageRef>(nullptr, [&]() -> ADMImageRef {
        auto image = std::make_unique<AdmImage>();
        image->image = QImage(width, height, QImage::Format_RGB32);
        if (image->image.isNull()) return nullptr;
        image->image.fill(Qt::white);
        M()->Register(image.get());
        return reinterpret_cast<ADMImageRef>(image.release());
    });
}

void ImageDestroy(ADMImageRef ref) noexcept {
    if (AdmImage* i = Im(ref)) {
        M()->Unregister(i);
        delete i;
    }
}

ADMInt32 ImageWidth(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.width() : 0;
}

ADMInt32 ImageHeight(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.height() : 0;
}

ADMInt32 ImageByteWidth(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? ADMInt32(i->image.bytesPerLine()) : 0;
}

ADMInt32 ImageBitsPerPixel(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.depth() : 0;
}

uint8* BeginBaseAddressAccess(ADMImageRef ref) noexcept {
    AdmImage* i = Im(ref);
    return i ? i->image.bits() : nullptr;
}

void EndBaseAddressAccess(ADMImageRef) noexcept {}

const ADMImageSuite2 kImage = {&ImageCreate,
                               &ImageDestroy,
                               &ImageWidth,
                               &ImageHeight,
                               &ImageByteWidth,
                               &ImageBitsPerPixel,
                               &BeginBaseAddressAccess,
                               &EndBaseAddressAccess};

ADMIconRef IconFromResource(ADMPluginRef, ADMInt32 id, ADMInt32) noexcept {
    if (!M()) return nullptr;
    return Safe<ADMIconRef>(nullptr, [&]() -> ADMIconRef {
        QImage image = M()->Picture(id, true);
        if (image.isNull()) return nullptr;
        auto icon = std::make_unique<AdmIcon>();
        icon->image = std::move(image);
        M()->Register(icon.get());
        return reinterpret_cast<ADMIconRef>(icon.release());
    });
}

void IconDestroy(ADMIconRef ref) noexcept {
    if (AdmIcon* i = Ic(ref)) {
        M()->Unregister(i);
        delete i;
    }
}

ADMInt32 IconWidth(ADMIconRef ref) noexcept {
    AdmIcon* i = Ic(ref);
    return i ? i->image.width() : 0;
}

ADMInt32 IconHeight(ADMIconRef ref) noexcept {
    AdmIcon* i = Ic(ref);
    return i ? i->image.height() : 0;
}

const ADMIconSuite1 kIcon = {&IconFromResource, &IconDestroy, &IconWidth, &IconHeight};

// --- notifier and tracker -------------------------------------------------------------------

ADMItemRef NotifierItem(ADMNotifierRef ref) noexcept {
    AdmNotifier* n = N(ref);
    return n && n->item ? n->item->Ref() : nullptr;
}

ADMDialogRef NotifierDialog(ADMNotifierRef ref) noexcept {
    AdmNotifier* n = N(ref);
    return n ? n->dialog->Ref() : nullptr;
}

ADMBoolean IsNotifierType(ADMNotifierRef ref, const char* type) noexcept {
    AdmNotifier* n = N(ref);
    return n && type && std::strcmp(n->type, type) == 0;
}

const ADMNotifierSuite1 kNotifier = {&NotifierItem, &NotifierDialog, &IsNotifierType};

// A null tracker reports the state of the mouse and keys now.
void TrackerPoint(ADMTrackerRef ref, ADMPoint* point) noexcept {
    if (!point) return;
    if (AdmTracker* t = T(ref)) {
        *point = t->point;
        return;
    }
    const QPoint screen = PointerPosition();
    *point = {screen.x(), screen.y()};
}

ADMInt32 TrackerAction(ADMTrackerRef ref) noexcept {
    AdmTracker* t = T(ref);
    return t ? t->action : 0;
}

ADMInt32 TrackerModifiersNow(ADMTrackerRef ref) noexcept {
    if (AdmTracker* t = T(ref)) return t->modifiers;
    return TrackerModifiers(QGuiApplication::queryKeyboardModifiers());
}

ADMBoolean TestAction(ADMTrackerRef ref, ADMInt32 action) noexcept {
    AdmTracker* t = T(ref);
    return t && t->action == action;
}

ADMBoolean TestModifier(ADMTrackerRef ref, ADMInt32 modifier) noexcept {
    return modifier != 0 && (TrackerModifiersNow(ref) & modifier) == modifier;
}

ADMInt32 TrackerVirtualKey(ADMTrackerRef ref) noexcept {
    AdmTracker* t = T(ref);
    return t ? t->virtualKey : kADMUnknownKey;
}

const ADMTrackerSuite1 kTracker = {&TrackerPoint, &TrackerAction, &TrackerModifiersNow,
                                   &TestAction,   &TestModifier,  &TrackerVirtualKey};

// --- lists and entries ----------------------------------------------------------------------

void EntrySetText(ADMEntryRef ref, const char* text) noexcept {
    if (AdmEntry* e = E(ref))
        Safe([&] {
            e->text = Text(text);
            e->list->Item().ShowActiveEntry();
        });
}

void EntrySetSeparator(ADMEntryRef ref, ADMBoolean separator) noexcept {
    if (AdmEntry* e = E(ref)) e->separator = separator;
}

void EntrySetID(ADMEntryRef ref, ADMInt32 id) noexcept {
    if (AdmEntry* e = E(ref)) e->id = id;
}

ADMInt32 EntryGetID(ADMEntryRef ref) noexcept {
    AdmEntry* e = E(ref);
    return e ? e->id : 0;
}

ADMInt32 EntryGetIndex(ADMEntryRef ref) noexcept {
    AdmEntry* e = E(ref);
    return e ? e->list->IndexOf(e) : -1;
}

void EntrySelect(ADMEntryRef ref, ADMBoolean select) noexcept {
    AdmEntry* e = E(ref);
    if (!e) return;
    Safe([&] {
        if (select)
            e->list->SetActive(e);
        else if (e->list->Active() == e)
            e->list->SetActive(nullptr);
    });
}

const ADMEntrySuite2 kEntry = {&EntrySetText, &EntrySetSeparator, &EntrySetID,
                               &EntryGetID,   &EntryGetIndex,     &EntrySelect};

ADMEntryRef InsertEntry(ADMListRef ref, ADMInt32 index) noexcept {
    AdmList* l = L(ref);
    if (!l) return nullptr;
    return Safe<ADMEntryRef>(nullptr,
                             [&] { return reinterpret_cast<ADMEntryRef>(l->Insert(index)); });
}

void RemoveEntry(ADMListRef ref, ADMInt32 index) noexcept {
    if (AdmList* l = L(ref)) Safe([&] { l->Remove(index); });
}

ADMEntryRef ListGetEntry(ADMListRef ref, ADMInt32 id) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->WithID(id)) : nullptr;
}

ADMEntryRef IndexEntry(ADMListRef ref, ADMInt32 index) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->At(index)) : nullptr;
}

ADMInt32 NumberOfEntries(ADMListRef ref) noexcept {
    AdmList* l = L(ref);
    return l ? l->Count() : 0;
}

ADMEntryRef GetActiveEntry(ADMListRef ref) noexcept {
    AdmList* l = L(ref);
    return l ? reinterpret_cast<ADMEntryRef>(l->Active()) : nullptr;
}

const ADMListSuite1 kList = {&InsertEntry, &RemoveEntry,     &ListGetEntry,
                             &IndexEntry,  &NumberOfEntries, &GetActiveEntry};

// --- user-interface hooks -------------------------------------------------------------------

intptr_t MainAppWindow() noexcept {
    AdmDialog* top = M() ? M()->TopDialog() : nullptr;
    return top ? Safe<intptr_t>(0, [&] { return intptr_t(top->winId()); }) : 0;
}

SPErr SetCursor(const char* name) noexcept {
    if (!M() || !name) return kSPBadParameterError;
    return Safe<SPErr>(kSPBadParameterError, [&] {
        QWidget* widget = M()->TrackedWidget();
        if (!widget) return kSPBadParameterError;
        return ApplyHostCursor(*widget, name) ? kSPNoError : kSPBadParameterError;
    });
}

// Ticks of a sixtieth of a second.
uint32 TickCount() noexcept {
    return uint32(QDateTime::currentMSecsSinceEpoch() * 60 / 1000);
}

const PSUIHooksSuite1 kUIHooks = {&MainAppWindow, &SetCursor, &TickCount};

struct Offered {
    const char* name;
    int32 version;
    const void* suite;
};

const Offered kOffered[] = {
    {kADMBasicSuite, kADMBasicSuiteVersion8, &kBasic},
    {kADMBasicSuite, kADMBasicSuiteVersion9, &kBasic9},
    {kADMDialogSuite, kADMDialogSuiteVersion4, &kDialog},
    {kADMItemSuite, kADMItemSuiteVersion3, &kItem},
    {kADMDrawerSuite, kADMDrawerSuiteVersion3, &kDrawer},
    {kADMImageSuite, kADMImageSuiteVersion2, &kImage},
    {kADMIconSuite, kADMIconSuiteVersion1, &kIcon},
    {kADMNotifierSuite, kADMNotifierSuiteVersion1, &kNotifier},
    {kADMTrackerSuite, kADMTrackerSuiteVersion1, &kTracker},
    {kADMEntrySuite, kADMEntrySuiteVersion2, &kEntry},
    {kADMListSuite, kADMListSuiteVersion1, &kList},
    {kPSUIHooksSuite, kPSUIHooksSuiteVersion3, &kUIHooks},
};

} // namespace

void OfferAdmSuites(filterhost::SuiteRegistry& suites) {
    for (const Offered& o : kOffered)
        suites.Offer(o.name, o.version, o.suite);
}

void WithdrawAdmSuites(filterhost::SuiteRegistry& suites) {
    for (const Offered& o : kOffered)
        suites.Withdraw(o.name, o.version);
}

} // namespace quillon::ui
