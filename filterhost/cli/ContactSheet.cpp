#include "cli/ContactSheet.h"

#include "core/HostFailure.h"
#include "core/documents/ImageFiles.h"
#include "core/suites/ColorServices.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace quillon::cli {
namespace {

using namespace filterhost;

constexpr int kThumb = 256;
constexpr int kGap = 12;
constexpr int kLabel = 28;

// The picture in sRGB at 8 bits, through the document's own profile.
QImage ToImage(const Document& d) {
    const bool rgb = d.mode == ColorMode::RGB, cmyk = d.mode == ColorMode::CMYK;
    ColorServices services(
        rgb ? std::span<const uint8_t>(d.iccProfile) : std::span<const uint8_t>(),
        cmyk ? std::span<const uint8_t>(d.iccProfile) : std::span<const uint8_t>());
    ColorServices srgb;
    QImage image(d.width, d.height, QImage::Format_RGB888);
    std::vector<Color16> row(size_t(d.width));
    for (int32_t y = 0; y < d.height; ++y) {
        for (int32_t x = 0; x < d.width; ++x) {
            auto sample = [&](int plane) {
                const uint16_t v = d.At(plane, x, y);
                return d.depth == 16 ? v : EightToHost16(uint8_t(v));
            };
            row[size_t(x)] = cmyk ? Color16{sample(0), sample(1), sample(2), sample(3)}
                                  : Color16{0, sample(0), sample(1), sample(2)};
        }
        // Through Lab when the picture is not in sRGB already.
        if (!rgb || !d.iccProfile.empty()) {
            services.Convert16(ColorSpaceOf(d.mode), plugIncolorServicesLabSpace, row.data(),
                               d.width);
            srgb.Convert16(plugIncolorServicesLabSpace, plugIncolorServicesRGBSpace, row.data(),
                           d.width);
        }
        uchar* line = image.scanLine(y);
        for (int32_t x = 0; x < d.width; ++x) {
            const Color16& c = row[size_t(x)];
            for (int k = 0; k < 3; ++k) {
                const uint16_t v = k == 0 ? c.c1 : k == 1 ? c.c2 : c.c3;
                line[x * 3 + k] = uchar((std::min<uint32_t>(v, 32768) * 255 + 16384) / 32768);
            }
        }
    }
    return image;
}

// Qt's lettering needs an application; the offscreen platform needs no display. Its notes about
// the session (no runtime folder, and the like) are no concern of a sheet.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

std::unique_ptr<QGuiApplication> StartQt() {
    if (QCoreApplication::instance()) return nullptr;
    qInstallMessageHandler(Quiet);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quillon";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

void WriteContactSheet(const std::vector<SheetEntry>& entries, const std::filesystem::path& file) {
    if (entries.empty()) throw HostFailure("no pictures for the sheet " + file.string());
    const FileFormat format = FormatForOutput(file);
    const auto application = StartQt();
    const int columns = int(std::ceil(std::sqrt(double(entries.size()))));
    const int rows = int((entries.size() + size_t(columns) - 1) / size_t(columns));
    QImage sheet(kGap + columns * (kThumb + kGap), kGap + rows * (kThumb + kLabel + kGap),
                 QImage::Format_RGB888);
    sheet.fill(QColor(255, 255, 255));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont font("DejaVu Sans");
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 30));
    for (size_t i = 0; i < entries.size(); ++i) {
        const int x = kGap + int(i % size_t(columns)) * (kThumb + kGap);
        const int y = kGap + int(i / size_t(columns)) * (kThumb + kLabel + kGap);
        const QImage thumb =
            ToImage(entries[i].picture)
                .scaled(kThumb, kThumb, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        // Each picture stands on its name.
        painter.drawImage(x + (kThumb - thumb.width()) / 2, y + kThumb - thumb.height(), thumb);
        const QString name = QString::fromStdString(entries[i].name);
        painter.drawText(QRect(x, y + kThumb, kThumb, kLabel), Qt::AlignCenter,
                         painter.fontMetrics().elidedText(name, Qt::ElideRight, kThumb));
    }
    painter.end();

    Document out = MakeDocument(ColorMode::RGB, 8, sheet.width(), sheet.height());
    for (int32_t y = 0; y < out.height; ++y) {
        const uchar* line = sheet.constScanLine(y);
        for (int32_t x = 0; x < out.width; ++x)
            for (int k = 0; k < 3; ++k)
                out.At(k, x, y) = line[x * 3 + k];
    }
    WriteImageFile(out, format, file);
}

} // namespace quillon::cli
