// Custom items keep their picture in a canvas: the draw callback paints it when the item is
// invalid, the paint handler only copies it out.
#pragma once

#include <QImage>
#include <QWidget>

namespace quillon::ui {

class CanvasItem;

class CanvasWidget : public QWidget {
  public:
    // A clickable canvas notifies its item when the left button goes up over it.
    CanvasWidget(CanvasItem& item, bool clickable, QWidget* parent);
    QImage& Canvas();
    void MarkInvalid();
    // Runs the draw callback now if the canvas is out of date.
    void Refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    CanvasItem& item_;
    bool clickable_;
    QImage canvas_;
    bool invalid_ = true;
    bool pressed_ = false;
};

} // namespace quillon::ui
