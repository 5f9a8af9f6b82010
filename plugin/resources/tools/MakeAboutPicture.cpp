// Paints the about box's picture at build time and writes it as a bitmap resource: a recolouring
// mesh of facets over a dark backdrop, with the product's name.
#include "pluginapi/ADMDialogTemplate.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 175;
// The dialog shows the picture 10 pixels above its top edge.
constexpr int kHiddenTop = 10;

// A small fixed generator, so every build paints the same picture.
struct Lcg {
    uint32_t state = 20010;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    }
};

QColor FacetColor(double x, double y) {
    // Warm originals on the left turn into cool targets on the right.
    const double t = x / kWidth;
    const double hue = std::fmod(0.02 + 0.55 * t + 0.08 * std::sin(y * 0.05), 1.0);
    return QColor::fromHsvF(float(hue), float(0.55 + 0.25 * (1 - t)), float(0.75 + 0.2 * t));
}

void PaintMesh(QPainter& p) {
    constexpr int kColumns = 9, kRows = 6;
    std::vector<QPointF> points;
    Lcg random;
    for (int r = 0; r <= kRows; ++r)
        for (int c = 0; c <= kColumns; ++c) {
            const bool edge = r == 0 || c == 0 || r == kRows || c == kColumns;
            const double jx = edge ? 0 : (random.Next() - 0.5) * 20;
            const double jy = edge ? 0 : (random.Next() - 0.5) * 16;
            points.emplace_back(c * kWidth / double(kColumns) + jx,
                                kHiddenTop + r * (kHeight - kHiddenTop) / double(kRows) + jy);
        }
    auto at = [&](int r, int c) { return points[size_t(r * (kColumns + 1) + c)]; };
    p.setRenderHint(QPainter::Antialiasing);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const QPointF a = at(r, c), b = at(r, c + 1), d = at(r + 1, c), e = at(r + 1, c + 1);
            const QPointF tris[2][3] = {{a, b, e}, {a, e, d}};
            for (const auto& tri : tris) {
                const QPointF centre = (tri[0] + tri[1] + tri[2]) / 3;
                // Facets fade out towards the lower left, where the name sits.
                const double fade = std::clamp((centre.x() / kWidth) * 0.9 +
                                                   (1 - centre.y() / kHeight) * 0.8 - 0.35,
                                               0.08, 0.95);
                QColor fill = FacetColor(centre.x(), centre.y());
                fill.setAlphaF(float(fade));
                QPainterPath path;
                path.moveTo(tri[0]);
                path.lineTo(tri[1]);
                path.lineTo(tri[2]);
                path.closeSubpath();
                p.fillPath(path, fill);
                p.setPen(QPen(QColor(255, 255, 255, int(60 * fade + 20)), 0.8));
                p.drawPath(path);
            }
        }
    // The mesh's vertices, as the sample points a user picked.
    p.setPen(Qt::NoPen);
    for (int r = 1; r < kRows; ++r)
        for (int c = 1; c < kColumns; ++c) {
            const QPointF v = at(r, c);
            if (v.x() < 120 && v.y() > 90) continue;
            p.setBrush(QColor(255, 255, 255, 170));
            p.drawEllipse(v, 1.8, 1.8);
        }
}

void PaintName(QPainter& p) {
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont small("DejaVu Sans", 7, QFont::Bold);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(small);
    p.setPen(QColor(200, 220, 235));
    p.drawText(QPointF(16, 112), "NERROW");
    QFont title("DejaVu Sans", 27, QFont::Bold);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(15, 146), "Quillon");
    p.setPen(Qt::white);
    p.drawText(QPointF(14, 144), "Quillon");
    QFont tag("DejaVu Sans", 7);
    p.setFont(tag);
    p.setPen(QColor(210, 225, 235));
    p.drawText(QPointF(16, 162), "recolour by example");
}

QImage Paint() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient backdrop(0, 0, kWidth, kHeight);
    backdrop.setColorAt(0, QColor(24, 28, 58));
    backdrop.setColorAt(1, QColor(12, 70, 86));
    p.fillRect(image.rect(), backdrop);
    PaintMesh(p);
    PaintName(p);
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_about_picture OUT\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image = Paint();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const uint8_t header[kADMBitmapHeaderSize] = {'Q',
                                                  'B',
                                                  'M',
                                                  'P',
                                                  uint8_t(kWidth),
                                                  uint8_t(kWidth >> 8),
                                                  uint8_t(kHeight),
                                                  uint8_t(kHeight >> 8),
                                                  24,
                                                  0};
    std::fwrite(header, 1, sizeof header, out);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb c = image.pixel(x, y);
            const uint8_t rgb[3] = {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
