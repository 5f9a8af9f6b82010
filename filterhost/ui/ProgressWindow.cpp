#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace quillon::ui {
namespace {

// Often enough for the button to feel immediate, rarely enough to cost the work nothing.
constexpr qint64 kPumpIntervalMilliseconds = 30;

} // namespace

ProgressWindow::ProgressWindow(int delayMilliseconds)
    : label_(new QLabel(tr("Applying the filter…"), this)), bar_(new QProgressBar(this)),
      delay_(delayMilliseconds) {
    setWindowTitle(tr("Quillon"));
    setModal(true);
    setProperty(kClosesItselfProperty, true);
    bar_->setRange(0, 100);
    bar_->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgressWindow::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

// Widgets are touched only on the application's thread; workers that report are not shown.
void ProgressWindow::Update(int32_t done, int32_t total) {
    if (QThread::currentThread() != thread()) return;
    if (total > 0) bar_->setValue(int(int64_t(done) * 100 / total));
    Pump();
}

void ProgressWindow::Writing(const std::string& file) {
    if (QThread::currentThread() != thread()) return;
    label_->setText(tr("Writing %1…").arg(QString::fromStdString(file)));
    // No steps to count: the bar shows that work goes on.
    bar_->setRange(0, 0);
    pumped_.invalidate();
    Pump();
}

bool ProgressWindow::Cancelled() {
    if (QThread::currentThread() == thread()) Pump();
    return cancelled_.load();
}

// Cancel, Escape and closing the window all stop the work; the window goes once it has.
void ProgressWindow::reject() {
    cancelled_ = true;
    label_->setText(tr("Cancelling…"));
}

void ProgressWindow::Pump() {
    if (!isVisible()) {
        // The filter's dialog may still be open, and its preview reports progress too: the
        // time counts from the first report after it.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != this) return;
        if (!began_) {
            began_ = true;
            started_.start();
        }
        if (started_.elapsed() < delay_) return;
        show();
        pumped_.invalidate();
    }
    if (pumped_.isValid() && pumped_.elapsed() < kPumpIntervalMilliseconds) return;
    pumped_.start();
    QApplication::processEvents();
}

} // namespace quillon::ui
