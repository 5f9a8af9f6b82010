// Host cursors by name. The tool cursors are small pictures of our own, drawn once.
#include "ui/DialogManager.h"

#include <QCursor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

#include <map>
#include <string>

namespace quillon::ui {
namespace {

constexpr int kSize = 32;

QPixmap Blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPen Outline(qreal width) {
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A pipette leaning to the right, its tip at the bottom left.
QCursor Eyedropper() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(2, 29);
    p.rotate(-45);
    QPainterPath body;
    body.moveTo(0, 0);
    body.lineTo(3, -2);
    body.lineTo(17, -2);
    body.lineTo(17, 2);
    body.lineTo(3, 2);
    body.closeSubpath();
    QPainterPath bulb;
    bulb.addRoundedRect(QRectF(17, -4, 11, 8), 3, 3);
    for (const QPainterPath* part : {&body, &bulb}) {
        p.setPen(Outline(3));
        p.drawPath(*part);
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(body);
    p.setBrush(Qt::black);
    p.drawPath(bulb);
    p.end();
    return QCursor(pixmap, 2, 29);
}

// A magnifying glass with a plus or a minus.
QCursor Zoom(bool in) {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(11, 11);
    p.setPen(Outline(5));
    p.drawEllipse(centre, 8, 8);
    p.drawLine(QPointF(17, 17), QPointF(26, 26));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(centre, 8, 8);
    p.setPen(QPen(Qt::black, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(17.5, 17.5), QPointF(25, 25));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(7, 11), QPointF(15, 11));
    if (in) p.drawLine(QPointF(11, 7), QPointF(11, 15));
    p.end();
    return QCursor(pixmap, 11, 11);
}

// A white arrow outlined in black, pointing at its tip.
QCursor PathArrow() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1.5, 1.5);
    arrow.lineTo(1.5, 18);
    arrow.lineTo(6, 14);
    arrow.lineTo(9, 21);
    arrow.lineTo(12, 20);
    arrow.lineTo(9, 13);
    arrow.lineTo(15, 13);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    p.end();
    return QCursor(pixmap, 1, 1);
}

const std::map<std::string, QCursor>& Cursors() {
    static const std::map<std::string, QCursor> kCursors = {
        {"Photoshop Cursor Arrow", QCursor(Qt::ArrowCursor)},
        {"Photoshop Cursor Path Arrow", PathArrow()},
        {"Photoshop Cursor Eyedropper", Eyedropper()},
        {"Photoshop Cursor Hand", QCursor(Qt::OpenHandCursor)},
        {"Photoshop Cursor Grab", QCursor(Qt::ClosedHandCursor)},
        {"Photoshop Cursor Zoom In", Zoom(true)},
        {"Photoshop Cursor Zoom Out", Zoom(false)},
    };
    return kCursors;
}

} // namespace

bool ApplyHostCursor(QWidget& widget, const char* name) {
    const auto it = Cursors().find(name);
    if (it == Cursors().end()) return false;
    widget.setCursor(it->second);
    widget.setProperty(kHostCursorProperty, QString::fromUtf8(name));
    return true;
}

} // namespace quillon::ui
