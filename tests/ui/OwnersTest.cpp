// The owners of the user interface's paired calls undo what they did however they go away.
#include "ui/Owners.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace quillon::test {
namespace {

using filterhost::HandleKind;
using ui::InstalledFilter;
using ui::LentHandle;
using ui::RepeatingTimer;

TEST(OwnersTest, ALentHandleIsLiveExactlyWhileItsOwnerLives) {
    filterhost::HandleTable table;
    int object = 0;
    {
        const LentHandle lent(table, &object, HandleKind::Image);
        EXPECT_TRUE(table.Is(&object, HandleKind::Image));
        EXPECT_FALSE(table.Is(&object, HandleKind::Icon));
    }
    EXPECT_FALSE(table.Is(&object, HandleKind::Image));
    EXPECT_EQ(table.Count(HandleKind::Image), 0u);
}

// Counts the events of one type that pass it.
class Counter : public QObject {
  public:
    explicit Counter(QEvent::Type type) : type_(type) {}
    int seen = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) ++seen;
        return false;
    }

  private:
    QEvent::Type type_;
};

TEST(OwnersTest, AnInstalledFilterSeesEventsOnlyWhileItsOwnerLives) {
    const auto kType = QEvent::User;
    QObject watched;
    Counter counter(kType);
    {
        const InstalledFilter filter(watched, counter);
        QEvent event(kType);
        QCoreApplication::sendEvent(&watched, &event);
        EXPECT_EQ(counter.seen, 1);
    }
    QEvent event(kType);
    QCoreApplication::sendEvent(&watched, &event);
    EXPECT_EQ(counter.seen, 1);
}

// The filter going away after the watched object must not touch it (the sanitizers run here).
TEST(OwnersTest, AnInstalledFilterOutlivesTheObjectItWatches) {
    Counter counter(QEvent::User);
    auto watched = std::make_unique<QObject>();
    {
        const InstalledFilter filter(*watched, counter);
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(watched.get(), &event);
        watched.reset();
    }
    EXPECT_EQ(counter.seen, 1);
}

// Runs the event loop until done() holds or the milliseconds have passed.
template <typename Done> bool Spin(int milliseconds, Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(OwnersTest, ARepeatingTimerTicksUntilStoppedOrGone) {
    QObject parent;
    int ticks = 0;
    auto timer = std::make_unique<RepeatingTimer>(parent, 1, [&ticks] { ++ticks; });
    ASSERT_TRUE(Spin(5000, [&] { return ticks >= 2; })) << "the timer repeats";

    timer->Stop();
    const int stopped = ticks;
    Spin(50, [] { return false; });
    EXPECT_EQ(ticks, stopped) << "a stopped timer does not tick";

    int later = 0;
    timer = std::make_unique<RepeatingTimer>(parent, 1, [&later] { ++later; });
    timer.reset();
    Spin(50, [] { return false; });
    EXPECT_EQ(later, 0) << "a timer gone before its first tick never ticks";
}

TEST(OwnersTest, ATickMayEndItsOwnTimer) {
    QObject parent;
    std::optional<RepeatingTimer> timer;
    int ticks = 0;
    timer.emplace(parent, 1, [&] {
        ++ticks;
        timer.reset();
    });
    ASSERT_TRUE(Spin(5000, [&] { return ticks >= 1; }));
    Spin(50, [] { return false; });
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.has_value());
}

} // namespace
} // namespace quillon::test
