// Drawers paint on a custom item's canvas in the item's coordinates, for its draw callback or
// at once for a drawer the plug-in makes.
#pragma once

#include "pluginapi/ADMSuites.h"
#include "ui/Owners.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <vector>

namespace quillon::ui {

class AdmItem;

class AdmDrawer {
  public:
    AdmDrawer(AdmItem& item, bool immediate);
    ~AdmDrawer();
    AdmDrawer(const AdmDrawer&) = delete;
    AdmDrawer& operator=(const AdmDrawer&) = delete;

    void SetColor(QColor color) { color_ = color; }
    void SetMode(ADMInt32 mode) { mode_ = mode; }
    void Line(QPoint from, QPoint to);
    void Polygon(const std::vector<QPoint>& points);
    void Rect(const QRect& rect);
    void Fill(const QRect& rect);
    void Frame(const QRect& rect, bool sunken);
    void Icon(const QImage& icon, const QRect& rect);
    void Image(const QImage& image, QPoint topLeft);
    AdmItem& Item() const { return item_; }
    bool Immediate() const { return immediate_; }

  private:
    template <typename Paint> void Draw(QRect bounds, Paint&& paint);
    AdmItem& item_;
    bool immediate_;
    QColor color_ = Qt::black;
    ADMInt32 mode_ = kADMNormalMode;
    LentHandle lent_;
};

// The standard colours by number.
QColor StandardColor(ADMInt32 number);

} // namespace quillon::ui
