#include "ui/PickerWidgets.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>

namespace quillon::ui {
namespace {

// One arrow key moves a hundredth of the range; with Shift a tenth.
double Step(const QKeyEvent& event) {
    return event.modifiers() & Qt::ShiftModifier ? 0.1 : 0.01;
}

double Unit(double v) {
    return std::clamp(v, 0.0, 1.0);
}

// A ring drawn twice, dark and light, shows on any colour.
void DrawMarker(QPainter& painter, QPointF centre, double radius) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawEllipse(centre, radius + 1, radius + 1);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawEllipse(centre, radius, radius);
}

void DrawFocus(QPainter& painter, const QWidget& widget) {
    if (!widget.hasFocus()) return;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 2));
    painter.drawRect(widget.rect().adjusted(1, 1, -1, -1));
}

} // namespace

// --- a number field ---------------------------------------------------------------------------

NumberField::NumberField(int minimum, int maximum, QWidget* parent)
    : QLineEdit(parent), minimum_(minimum), maximum_(maximum) {
    // Digits enough for any number a user may try, clamped below.
    const QString digits = minimum < 0 ? "-?[0-9]{0,6}" : "[0-9]{0,6}";
    setValidator(new QRegularExpressionValidator(QRegularExpression(digits), this));
    setMaximumWidth(64);
    setToolTip(QString("%1 to %2").arg(minimum).arg(maximum));
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { Typed(text); });
}

void NumberField::Show(int v) {
    const QString text = QString::number(v);
    if (this->text() != text) setText(text);
}

void NumberField::Typed(const QString& text) {
    bool ok = false;
    const int typed = text.toInt(&ok);
    if (!ok) return; // empty, or a lone minus sign: nothing to take yet
    const int kept = std::clamp(typed, minimum_, maximum_);
    if (kept != typed || text != QString::number(kept)) setText(QString::number(kept));
    if (changed) changed(kept);
}

// --- the square ---------------------------------------------------------------------------------

SaturationValueSquare::SaturationValueSquare(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 160);
    setCursor(Qt::CrossCursor);
    setAccessibleName("Saturation and brightness");
}

void SaturationValueSquare::Show(double hue, double saturation, double value) {
    hue_ = hue;
    saturation_ = saturation;
    value_ = value;
    update();
}

void SaturationValueSquare::resizeEvent(QResizeEvent*) {
    imageHue_ = -1;
}

void SaturationValueSquare::paintEvent(QPaintEvent*) {
    if (imageHue_ != hue_ || image_.size() != size()) {
        image_ = QImage(size(), QImage::Format_RGB32);
        const int w = std::max(1, width() - 1), h = std::max(1, height() - 1);
        const float hue = float(std::min(hue_, 0.9999));
        for (int y = 0; y < image_.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
            const float v = 1.0f - float(y) / float(h);
            for (int x = 0; x < image_.width(); ++x)
                row[x] = QColor::fromHsvF(hue, float(x) / float(w), v).rgb();
        }
        imageHue_ = hue_;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawMarker(painter, {saturation_ * (width() - 1), (1 - value_) * (height() - 1)}, 5);
    DrawFocus(painter, *this);
}

void SaturationValueSquare::ChooseAt(QPointF point) {
    Choose(Unit(point.x() / std::max(1, width() - 1)),
           Unit(1 - point.y() / std::max(1, height() - 1)));
}

void SaturationValueSquare::Choose(double saturation, double value) {
    if (saturation == saturation_ && value == value_) return;
    saturation_ = saturation;
    value_ = value;
    update();
    if (changed) changed(saturation, value);
}

void SaturationValueSquare::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) ChooseAt(event->position());
}

void SaturationValueSquare::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) ChooseAt(event->position());
}

void SaturationValueSquare::keyPressEvent(QKeyEvent* event) {
    const double step = Step(*event);
    switch (event->key()) {
    case Qt::Key_Left:
        Choose(Unit(saturation_ - step), value_);
        break;
    case Qt::Key_Right:
        Choose(Unit(saturation_ + step), value_);
        break;
    case Qt::Key_Up:
        Choose(saturation_, Unit(value_ + step));
        break;
    case Qt::Key_Down:
        Choose(saturation_, Unit(value_ - step));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// --- the strip ----------------------------------------------------------------------------------

HueStrip::HueStrip(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(18, 160);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName("Hue");
}

void HueStrip::Show(double hue) {
    hue_ = hue;
    update();
}

void HueStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height() - 1);
    for (int i = 0; i <= 6; ++i)
        gradient.setColorAt(i / 6.0, QColor::fromHsvF(i == 6 ? 0.0f : float(i) / 6.0f, 1, 1));
    painter.fillRect(rect().adjusted(3, 0, -3, 0), gradient);
    // Arrows on both sides at the hue.
    const double y = hue_ * (height() - 1);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(palette().color(QPalette::WindowText));
    const double right = width() - 1;
    painter.drawPolygon(QPolygonF{{0, y - 4}, {5, y}, {0, y + 4}});
    painter.drawPolygon(QPolygonF{{right, y - 4}, {right - 5, y}, {right, y + 4}});
    DrawFocus(painter, *this);
}

void HueStrip::Choose(double hue) {
    if (hue == hue_) return;
    hue_ = hue;
    update();
    if (changed) changed(hue);
}

void HueStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Choose(Unit(event->position().y() / std::max(1, height() - 1)));
}

void HueStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        Choose(Unit(event->position().y() / std::max(1, height() - 1)));
}

void HueStrip::keyPressEvent(QKeyEvent* event) {
    const double step = Step(*event);
    switch (event->key()) {
    case Qt::Key_Up:
        Choose(Unit(hue_ - step));
        break;
    case Qt::Key_Down:
        Choose(Unit(hue_ + step));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// --- old and new --------------------------------------------------------------------------------

ColourComparison::ColourComparison(QColor old, QWidget* parent)
    : QWidget(parent), old_(old), fresh_(old) {
    setMinimumSize(120, 56);
    setToolTip("Click the current colour to go back to it");
}

void ColourComparison::Show(QColor fresh) {
    fresh_ = fresh;
    update();
}

void ColourComparison::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int labelHeight = fontMetrics().height() + 2;
    const int half = width() / 2;
    const QRect freshRect(0, 0, half, height() - labelHeight);
    const QRect oldRect(half, 0, width() - half, height() - labelHeight);
    painter.fillRect(freshRect, fresh_);
    painter.fillRect(oldRect, old_);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(QRect(0, 0, width() - 1, height() - labelHeight - 1));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, height() - labelHeight, half, labelHeight), Qt::AlignCenter, "new");
    painter.drawText(QRect(half, height() - labelHeight, width() - half, labelHeight),
                     Qt::AlignCenter, "current");
}

void ColourComparison::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->position().x() >= width() / 2 && oldChosen)
        oldChosen();
}

} // namespace quillon::ui
