// Owners for the user interface's paired calls: what one constructor starts, its destructor
// undoes, however the owner goes away.
#pragma once

#include "core/suites/HandleTable.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;

namespace quillon::ui {

// An object lent to the plug-in as a handle of one kind while this lives.
class LentHandle {
  public:
    LentHandle(filterhost::HandleTable& table, const void* object, filterhost::HandleKind kind)
        : table_(table), object_(object), kind_(kind) {
        table_.Add(object_, kind_);
    }
    ~LentHandle() { table_.Remove(object_, kind_); }
    LentHandle(const LentHandle&) = delete;
    LentHandle& operator=(const LentHandle&) = delete;

  private:
    filterhost::HandleTable& table_;
    const void* object_;
    filterhost::HandleKind kind_;
};

// An event filter installed on an object while this lives (or until the object is gone).
class InstalledFilter {
  public:
    InstalledFilter(QObject& watched, QObject& filter) : watched_(&watched), filter_(filter) {
        watched.installEventFilter(&filter_);
    }
    ~InstalledFilter() {
        if (watched_) watched_->removeEventFilter(&filter_);
    }
    InstalledFilter(const InstalledFilter&) = delete;
    InstalledFilter& operator=(const InstalledFilter&) = delete;

  private:
    QPointer<QObject> watched_;
    QObject& filter_;
};

// A repeating timer that runs tick in the context of its parent until this goes away. The
// timer itself is deleted later, so that a tick may end its own timer.
class RepeatingTimer {
  public:
    RepeatingTimer(QObject& parent, int milliseconds, std::function<void()> tick);
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    void Stop();

  private:
    QPointer<QTimer> timer_;
};

} // namespace quillon::ui
