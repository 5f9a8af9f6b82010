// The basic suite: alerts, the screen's size and the open-file dialog.
#include "ui/AdmSuiteSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

#include <cstring>

namespace quillon::ui {
namespace {

void Alert(const char* text, bool error) {
    if (!text) return;
    QWidget* parent = M() ? M()->TopDialog() : nullptr;
    if (error)
        QMessageBox::critical(parent, "Error", QString::fromUtf8(text));
    else
        QMessageBox::information(parent, "Quillon", QString::fromUtf8(text));
}

void ErrorAlert(const char* text) noexcept {
    GuardedCall([&] { Alert(text, true); });
}
void MessageAlert(const char* text) noexcept {
    GuardedCall([&] { Alert(text, false); });
}

void GetScreenDimensions(const ADMPoint* point, ADMRect* area) noexcept {
    if (!area) return;
    *area = {};
    GuardedCall([&] {
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
    return GuardedCall<ADMBoolean>(false, [&]() -> ADMBoolean {
        QWidget* parent = owner ? static_cast<QWidget*>(D(owner)) : nullptr;
        if (owner && !parent) return false;
        if (!parent && M()) parent = M()->TopDialog();
        if (const std::optional<std::string> dropped =
                M() ? M()->TakeDroppedFile() : std::nullopt) {
            if (dropped->size() >= size_t(pathSize)) return false;
            std::memcpy(path, dropped->c_str(), dropped->size() + 1);
            return true;
        }
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

} // namespace

const ADMBasicSuite8 kBasicSuite8 = {&ErrorAlert, &MessageAlert, &GetScreenDimensions};

const ADMBasicSuite9 kBasicSuite9 = {&ErrorAlert, &MessageAlert, &GetScreenDimensions, &GetFile};

} // namespace quillon::ui
