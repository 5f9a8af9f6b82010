#include "ui/ScriptRunner.h"

#include "ui/AdmControlItems.h"
#include "ui/AdmDialog.h"
#include "ui/AdmEvents.h"
#include "ui/AdmList.h"
#include "ui/DialogManager.h"
#include "ui/ProgressWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDialog>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/qtestkeyboard.h>
#include <QtTest/qtestmouse.h>

#include <nlohmann/json.hpp>

#include <fstream>

namespace quillon::ui {
namespace {

constexpr int kMaxCancels = 64;

// The window that receives input while a dialog is on top: an open menu takes it all.
QWidget* InputWidget(QWidget* dialog) {
    QWidget* popup = QApplication::activePopupWidget();
    return popup ? popup : dialog;
}

// The innermost widget of `top` at a point of its client area, or `top` itself.
QWidget* WidgetUnder(QWidget* top, QPoint point) {
    QWidget* child = top->childAt(point);
    return child ? child : top;
}

nlohmann::json Bounds(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

template <typename... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <typename... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

nlohmann::json DescribeItem(const AdmItem& item) {
    const auto* label = qobject_cast<const QLabel*>(item.Widget());
    nlohmann::json json = {{"id", item.ID()},
                           {"type", item.TypeName()},
                           {"bounds", Bounds(item.Widget()->geometry())},
                           {"text", item.Text()},
                           {"enabled", item.Widget()->isEnabled()}};
    const QVariant cursor = item.Widget()->property(kHostCursorProperty);
    json["cursor"] = cursor.isValid() ? nlohmann::json(cursor.toString().toStdString())
                                      : nlohmann::json(nullptr);
    std::visit(Overloaded{[&](std::monostate) { json["value"] = nullptr; },
                          [&](float value) { json["value"] = value; },
                          [&](bool value) { json["value"] = value; },
                          [&](const AdmList* list) {
                              const AdmEntry* active = list->Active();
                              json["value"] = active ? active->id : -1;
                              json["chosen"] =
                                  active ? nlohmann::json(active->text) : nlohmann::json(nullptr);
                              nlohmann::json entries = nlohmann::json::array();
                              for (ADMInt32 i = 0; i < list->Count(); ++i) {
                                  const AdmEntry* entry = list->At(i);
                                  entries.push_back({{"id", entry->id},
                                                     {"text", entry->text},
                                                     {"separator", entry->separator}});
                              }
                              json["entries"] = entries;
                          }},
               item.ShownValue());
    // A static text: whether all of it shows in its bounds, and in what size.
    if (label) {
        json["fits"] = WrappedTextHeight(*label, label->font()) <= label->height();
        json["font"] = label->font().pixelSize();
    }
    return json;
}

// Dialogs that are not the dialog manager's (messages, the colour picker) list their buttons,
// labels and boxes.
nlohmann::json DescribeWidgets(const QWidget& dialog) {
    nlohmann::json items = nlohmann::json::array();
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (!child->isVisible()) continue;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(child))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(child))
            text = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(child))
            text = e->text();
        else
            continue;
        items.push_back(
            {{"type", child->metaObject()->className()},
             {"bounds", Bounds(QRect(child->mapTo(&dialog, QPoint(0, 0)), child->size()))},
             {"text", text.toStdString()},
             {"enabled", child->isEnabled()}});
    }
    return items;
}

} // namespace

ScriptRunner::ScriptRunner(std::vector<ScriptCommand> commands)
    : commands_(std::move(commands)), filter_(*qApp, *this) {}

ScriptRunner::~ScriptRunner() = default;

std::string ScriptRunner::Failure() const {
    if (!failure_.empty()) return failure_;
    if (const int line = LeftOver()) return "line " + std::to_string(line) + ": no dialog is open";
    return {};
}

int ScriptRunner::LeftOver() const {
    return failure_.empty() && next_ < commands_.size() ? commands_[next_].line : 0;
}

bool ScriptRunner::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* widget = qobject_cast<QDialog*>(watched);
    if (!widget || !widget->isModal()) return false;
    if (finished_ && !widget->property(kClosesItselfProperty).toBool()) {
        QPointer<QDialog> dialog(widget);
        QTimer::singleShot(0, this, [dialog] {
            if (dialog) dialog->reject();
        });
    } else if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, [this] { Step(); });
    }
    return false;
}

// The next step is queued before this one runs, because a command may open a dialog whose own
// event loop must carry the script on.
void ScriptRunner::Step() {
    if (finished_) return;
    if (next_ >= commands_.size()) {
        finished_ = true;
        CancelOpenDialogs();
        return;
    }
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) {
        // The next dialog shown carries on.
        started_ = false;
        return;
    }
    const ScriptCommand& command = commands_[next_];
    if (command.verb == ScriptVerb::Type && TypeNext(command, dialog)) return;
    ++next_;
    const int delay = command.verb == ScriptVerb::Wait ? command.milliseconds : 0;
    if (command.verb == ScriptVerb::Wait) timestamp_ += ulong(command.milliseconds);
    QTimer::singleShot(delay, this, [this] { Step(); });
    Execute(command, dialog);
}

constexpr int kTypingIntervalMilliseconds = 10;

// Types the next character of the command and queues the step after it; false once the whole
// text is typed.
bool ScriptRunner::TypeNext(const ScriptCommand& command, QWidget* dialog) {
    const QString text = QString::fromUtf8(command.text);
    if (typed_ >= text.size()) {
        typed_ = 0;
        return false;
    }
    const QChar character = text[typed_++];
    // A person's pace: widgets that look things up in the background (a file dialog following
    // the folders of a typed path) keep up between keys.
    QTimer::singleShot(kTypingIntervalMilliseconds, this, [this] { Step(); });
    const QPointer<QWidget> guard(dialog);
    // Qt names letter keys by their capitals.
    const int key = character.toUpper().unicode();
    Key(dialog, key, QString(character), true, 0);
    if (guard) Key(dialog, key, QString(character), false, 0);
    return true;
}

void ScriptRunner::Fail(const ScriptCommand& command, const std::string& message) {
    if (failure_.empty()) failure_ = "line " + std::to_string(command.line) + ": " + message;
    finished_ = true;
    CancelOpenDialogs();
}

void ScriptRunner::CancelOpenDialogs() {
    for (int i = 0; i < kMaxCancels; ++i) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
            continue;
        }
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property(kClosesItselfProperty).toBool()) return;
        dialog->reject();
    }
}

Qt::KeyboardModifiers ScriptRunner::Modifiers(uint8_t extra) const {
    const uint8_t bits = held_ | extra;
    Qt::KeyboardModifiers modifiers;
    if (bits & kScriptShift) modifiers |= Qt::ShiftModifier;
    if (bits & kScriptCtrl) modifiers |= Qt::ControlModifier;
    if (bits & kScriptAlt) modifiers |= Qt::AltModifier;
    return modifiers;
}

// Points are in the dialog's client area; they reach whichever window takes input, as the window
// system would deliver them, at once. Nothing here runs the event loop: a command that opens a
// dialog runs it, and the next step with it.
void ScriptRunner::Mouse(QWidget* dialog, QPoint point, int type, Qt::MouseButton button,
                         uint8_t extra) {
    const QPoint global = dialog->mapToGlobal(point);
    QWindow* window = InputWidget(dialog)->window()->windowHandle();
    if (!window) return;
    if (type == QEvent::MouseButtonPress) buttons_ |= button;
    if (type == QEvent::MouseButtonRelease) buttons_ &= ~button;
    SetScriptedPointer(global);
    qt_handleMouseEvent(window, window->mapFromGlobal(global), global, buttons_, button,
                        QEvent::Type(type), Modifiers(extra), int(timestamp_));
}

void ScriptRunner::Key(QWidget* dialog, int qtKey, const QString& text, bool press,
                       uint8_t modifiers) {
    QWindow* window = InputWidget(dialog)->window()->windowHandle();
    if (!window) return;
    qt_handleKeyEvent(window, press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey,
                      Modifiers(modifiers), text);
}

// The wheel's turn goes to the widget under the point, as the window system would send it.
void ScriptRunner::Wheel(QWidget* dialog, QPoint point, int notches) {
    QWidget* top = InputWidget(dialog);
    QWidget* target = WidgetUnder(top, point);
    const QPoint global = top->mapToGlobal(point);
    SetScriptedPointer(global);
    QWheelEvent wheel(target->mapFromGlobal(global), global, QPoint(), QPoint(0, 120 * notches),
                      buttons_, Modifiers(0), Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

// A file dragged from elsewhere and let go over the point: the drag's entry, then the drop.
void ScriptRunner::Drop(QWidget* dialog, QPoint point, const std::string& file) {
    QWidget* top = InputWidget(dialog);
    QWidget* target = WidgetUnder(top, point);
    const QPointF at = target->mapFrom(top, point);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QFileInfo(QString::fromStdString(file)).absoluteFilePath())});
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void ScriptRunner::Execute(const ScriptCommand& command, QWidget* dialog) {
    const QPoint point(command.x, command.y);
    const QPointer<QWidget> guard(dialog);
    switch (command.verb) {
    case ScriptVerb::Click:
    case ScriptVerb::DoubleClick:
    case ScriptVerb::Press: {
        timestamp_ += 1000;
        Mouse(dialog, point, QEvent::MouseMove, Qt::NoButton, command.modifiers);
        const int presses = command.verb == ScriptVerb::DoubleClick ? 2 : 1;
        for (int i = 0; i < presses && guard; ++i) {
            ++timestamp_;
            Mouse(dialog, point, QEvent::MouseButtonPress, Qt::LeftButton, command.modifiers);
            if (command.verb == ScriptVerb::Press || !guard) break;
            Mouse(dialog, point, QEvent::MouseButtonRelease, Qt::LeftButton, command.modifiers);
        }
        break;
    }
    case ScriptVerb::Drag:
    case ScriptVerb::Move:
        ++timestamp_;
        Mouse(dialog, point, QEvent::MouseMove, Qt::NoButton, 0);
        break;
    case ScriptVerb::Release:
        ++timestamp_;
        Mouse(dialog, point, QEvent::MouseMove, Qt::NoButton, 0);
        if (guard) Mouse(dialog, point, QEvent::MouseButtonRelease, Qt::LeftButton, 0);
        break;
    case ScriptVerb::Key: {
        int key = 0;
        QString text;
        switch (command.key) {
        case ScriptKey::Enter:
            key = Qt::Key_Return, text = "\r";
            break;
        case ScriptKey::Escape:
            key = Qt::Key_Escape, text = "\x1b";
            break;
        case ScriptKey::Tab:
            key = Qt::Key_Tab, text = "\t";
            break;
        case ScriptKey::Character:
            // Qt names letter keys by their capitals.
            key = QChar(command.character).toUpper().unicode();
            text = QString(QChar(command.character));
            break;
        }
        Key(dialog, key, text, true, command.modifiers);
        if (guard) Key(dialog, key, text, false, command.modifiers);
        break;
    }
    case ScriptVerb::Hold:
    case ScriptVerb::LetGo: {
        const bool press = command.verb == ScriptVerb::Hold;
        if (command.character) {
            const QString text(QChar(command.character));
            Key(dialog, QChar(command.character).toUpper().unicode(), text, press, 0);
            break;
        }
        if (press)
            held_ |= command.modifiers;
        else
            held_ &= uint8_t(~command.modifiers);
        const int key = command.modifiers == kScriptShift   ? Qt::Key_Shift
                        : command.modifiers == kScriptCtrl  ? Qt::Key_Control
                        : command.modifiers == kScriptSpace ? Qt::Key_Space
                                                            : Qt::Key_Alt;
        Key(dialog, key, QString(), press, 0);
        break;
    }
    case ScriptVerb::Wheel:
        Wheel(dialog, point, command.notches);
        break;
    case ScriptVerb::Drop:
        Drop(dialog, point, command.file);
        break;
    case ScriptVerb::Wait:
        break;
    case ScriptVerb::Resize:
        dialog->resize(command.x, command.y);
        break;
    case ScriptVerb::Type:
        break;
    case ScriptVerb::Screenshot:
        Screenshot(dialog, command);
        break;
    case ScriptVerb::State:
        State(dialog, command);
        break;
    }
}

// The dialog as it shows now, with an open menu drawn where it hangs over it.
void ScriptRunner::Screenshot(QWidget* dialog, const ScriptCommand& command) {
    QPixmap shot = dialog->grab();
    if (QWidget* popup = QApplication::activePopupWidget()) {
        QPainter painter(&shot);
        painter.drawPixmap(dialog->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    }
    if (!shot.save(QString::fromStdString(command.file), "PNG"))
        Fail(command, "cannot write " + command.file);
}

void ScriptRunner::State(QWidget* dialog, const ScriptCommand& command) {
    nlohmann::json state = {{"title", dialog->windowTitle().toStdString()},
                            {"width", dialog->width()},
                            {"height", dialog->height()}};
    // Where the window and the frame around it lie on the screen, and the screen's available area.
    if (const QWindow* window = dialog->windowHandle(); window && window->screen()) {
        state["frame"] = Bounds(window->frameGeometry());
        state["screen"] = Bounds(window->screen()->availableGeometry());
    }
    if (auto* adm = dynamic_cast<AdmDialog*>(dialog)) {
        nlohmann::json items = nlohmann::json::array();
        for (const auto& item : adm->Items())
            items.push_back(DescribeItem(*item));
        state["items"] = items;
    } else {
        if (auto* message = qobject_cast<QMessageBox*>(dialog))
            state["text"] = message->text().toStdString();
        state["items"] = DescribeWidgets(*dialog);
    }
    std::ofstream out(command.file);
    out << state.dump(2) << "\n";
    if (!out) Fail(command, "cannot write " + command.file);
}

} // namespace quillon::ui
