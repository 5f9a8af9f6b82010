#include "ui/AdmDrawer.h"

#include "ui/AdmDialog.h"
#include "ui/AdmItem.h"
#include "ui/CanvasWidget.h"
#include "ui/DialogManager.h"

#include <QPainter>
#include <QPolygon>

namespace quillon::ui {
namespace {

// Frame shades: the light falls from the top left.
const QColor kShadowOuter(0x8b, 0x90, 0x99);
const QColor kShadowInner(0xb4, 0xb8, 0xbf);
const QColor kLightOuter(0xff, 0xff, 0xff);
const QColor kLightInner(0xf6, 0xf7, 0xf9);

QPen CosmeticPen(QColor color) {
    QPen pen(color, 0);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

// A light, neutral face with a blue highlight and a dark surround for image panes.
QColor StandardColor(ADMInt32 number) {
    switch (number) {
    case kADMButtonFaceColor:
        return QColor(0xd3, 0xd7, 0xde);
    case kADMHiliteColor:
        return QColor(0x2f, 0x6f, 0xd6);
    case kADMPaneColor:
        return QColor(0xec, 0xee, 0xf1);
    case kADMBackgroundColor:
        return QColor(0x5b, 0x5f, 0x66);
    default:
        return Qt::black;
    }
}

AdmDrawer::AdmDrawer(AdmItem& item, bool immediate)
    : item_(item), immediate_(immediate),
      lent_(item.Dialog().Manager().Handles(), this, filterhost::HandleKind::Drawer) {}

AdmDrawer::~AdmDrawer() {
    // A drawer made outside a draw callback shows what it drew at once.
    if (immediate_ && item_.Canvas()) item_.Canvas()->repaint();
}

// Normal mode paints straight onto the canvas. Exclusive-or mode paints the shape into a mask
// first and flips each covered pixel once, so drawing it again restores the pixels exactly.
template <typename Paint> void AdmDrawer::Draw(QRect bounds, Paint&& paint) {
    CanvasWidget* canvasWidget = item_.Canvas();
    if (!canvasWidget) return;
    if (immediate_) canvasWidget->Refresh();
    QImage& canvas = canvasWidget->Canvas();
    if (mode_ != kADMXORMode) {
        QPainter painter(&canvas);
        paint(painter, color_);
        return;
    }
    bounds = bounds.intersected(canvas.rect());
    if (bounds.isEmpty()) return;
    QImage mask(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter painter(&mask);
        painter.translate(-bounds.topLeft());
        paint(painter, QColor(Qt::white));
    }
    // A black pen would flip nothing, so it inverts.
    QRgb flip = color_.rgb() & 0x00ffffff;
    if (flip == 0) flip = 0x00ffffff;
    for (int y = 0; y < bounds.height(); ++y) {
        const auto* covered = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(bounds.top() + y)) + bounds.left();
        for (int x = 0; x < bounds.width(); ++x)
            if (qAlpha(covered[x])) row[x] ^= flip;
    }
}

void AdmDrawer::Line(QPoint from, QPoint to) {
    Draw(QRect(from, to).normalized().adjusted(-1, -1, 1, 1), [&](QPainter& p, QColor c) {
        p.setPen(CosmeticPen(c));
        p.drawLine(from, to);
    });
}

void AdmDrawer::Polygon(const std::vector<QPoint>& points) {
    if (points.empty()) return;
    const QPolygon polygon(QList<QPoint>(points.begin(), points.end()));
    Draw(polygon.boundingRect().adjusted(-1, -1, 1, 1), [&](QPainter& p, QColor c) {
        p.setPen(CosmeticPen(c));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(polygon);
    });
}

void AdmDrawer::Rect(const QRect& rect) {
    if (rect.isEmpty()) return;
    Draw(rect, [&](QPainter& p, QColor c) {
        p.setPen(CosmeticPen(c));
        p.drawRect(rect.adjusted(0, 0, -1, -1));
    });
}

void AdmDrawer::Fill(const QRect& rect) {
    if (rect.isEmpty()) return;
    Draw(rect, [&](QPainter& p, QColor c) { p.fillRect(rect, c); });
}

void AdmDrawer::Frame(const QRect& rect, bool sunken) {
    if (rect.width() < 2 || rect.height() < 2) return;
    Draw(rect, [&](QPainter& p, QColor) {
        auto edge = [&p](QRect r, QColor topLeft, QColor bottomRight) {
            p.setPen(CosmeticPen(topLeft));
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(CosmeticPen(bottomRight));
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        };
        if (sunken) {
            edge(rect, kShadowOuter, kLightOuter);
            edge(rect.adjusted(1, 1, -1, -1), kShadowInner, kLightInner);
        } else {
            edge(rect, kLightOuter, kShadowOuter);
            edge(rect.adjusted(1, 1, -1, -1), kLightInner, kShadowInner);
        }
    });
}

void AdmDrawer::Icon(const QImage& icon, const QRect& rect) {
    const QPoint at(rect.left() + (rect.width() - icon.width()) / 2,
                    rect.top() + (rect.height() - icon.height()) / 2);
    Draw(QRect(at, icon.size()), [&](QPainter& p, QColor) { p.drawImage(at, icon); });
}

void AdmDrawer::Image(const QImage& image, QPoint topLeft) {
    Draw(QRect(topLeft, image.size()), [&](QPainter& p, QColor) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(topLeft, image);
    });
}

} // namespace quillon::ui
