#include "ui/CanvasWidget.h"

#include "ui/AdmCanvasItems.h"
#include "ui/AdmDrawer.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillon::ui {

CanvasWidget::CanvasWidget(CanvasItem& item, bool clickable, QWidget* parent)
    : QWidget(parent), item_(item), clickable_(clickable) {
    setMouseTracking(true);
    // Whether a drop is taken is the item's to say (its track mask and callback).
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoMousePropagation);
}

QImage& CanvasWidget::Canvas() {
    if (canvas_.size() != size()) {
        canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        canvas_.fill(StandardColor(kADMPaneColor));
        invalid_ = true;
    }
    return canvas_;
}

void CanvasWidget::MarkInvalid() {
    invalid_ = true;
    update();
}

void CanvasWidget::Refresh() {
    Canvas();
    if (!invalid_) return;
    invalid_ = false;
    canvas_.fill(StandardColor(kADMPaneColor));
    AdmDrawer drawer(item_, false);
    if (item_.draw)
        item_.draw(item_.Ref(), reinterpret_cast<ADMDrawerRef>(&drawer));
    else
        item_.DefaultDraw(drawer);
}

void CanvasWidget::paintEvent(QPaintEvent*) {
    Refresh();
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

void CanvasWidget::mousePressEvent(QMouseEvent* event) {
    pressed_ = clickable_ && event->button() == Qt::LeftButton;
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool clicked = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (clicked && isEnabled()) item_.Notify(kADMUserChangedNotifier);
}

} // namespace quillon::ui
