#include "ui/Owners.h"

#include <QTimer>

namespace quillon::ui {

RepeatingTimer::RepeatingTimer(QObject& parent, int milliseconds, std::function<void()> tick)
    : timer_(new QTimer(&parent)) {
    timer_->setInterval(milliseconds);
    QObject::connect(timer_, &QTimer::timeout, &parent, std::move(tick));
    timer_->start();
}

RepeatingTimer::~RepeatingTimer() {
    if (!timer_) return;
    timer_->stop();
    timer_->deleteLater();
}

void RepeatingTimer::Stop() {
    if (timer_) timer_->stop();
}

} // namespace quillon::ui
