// The painted parts of the colour picker: the saturation/value square, the hue strip beside it and
// the new colour beside the one handed in. Each answers the mouse and, with the focus, the arrow
// keys (Shift for steps ten times as large).
#pragma once

#include <QImage>
#include <QLineEdit>
#include <QWidget>

#include <functional>

namespace quillon::ui {

// A whole number from minimum to maximum. A number typed outside them is replaced at once by the
// nearest one inside, so the field shows what was kept; letters are not taken.
class NumberField : public QLineEdit {
  public:
    NumberField(int minimum, int maximum, QWidget* parent);

    // Shows v without moving the cursor when the text already says it.
    void Show(int v);
    std::function<void(int kept)> changed;

  private:
    void Typed(const QString& text);

    int minimum_, maximum_;
};

// Saturation left to right, value bottom to top, for one hue.
class SaturationValueSquare : public QWidget {
  public:
    explicit SaturationValueSquare(QWidget* parent);

    void Show(double hue, double saturation, double value);
    // Told of the saturation and value the user chose.
    std::function<void(double saturation, double value)> changed;

    QSize sizeHint() const override { return {256, 256}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ChooseAt(QPointF point);
    void Choose(double saturation, double value);

    double hue_ = 0, saturation_ = 0, value_ = 0;
    // The square for hue_ at the widget's size, made again when either changes.
    QImage image_;
    double imageHue_ = -1;
};

// Hue from the top (0) to the bottom (one turn).
class HueStrip : public QWidget {
  public:
    explicit HueStrip(QWidget* parent);

    void Show(double hue);
    std::function<void(double hue)> changed;

    QSize sizeHint() const override { return {24, 256}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Choose(double hue);

    double hue_ = 0;
};

// The new colour on the left, the colour handed in on the right, each with its name below; a
// click on the old one takes it back.
class ColourComparison : public QWidget {
  public:
    ColourComparison(QColor old, QWidget* parent);

    void Show(QColor fresh);
    std::function<void()> oldChosen;

    QSize sizeHint() const override { return {140, 64}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QColor old_, fresh_;
};

} // namespace quillon::ui
