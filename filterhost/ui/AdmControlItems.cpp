#include "ui/AdmControlItems.h"

#include "ui/AdmDialog.h"
#include "ui/AdmList.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace quillon::ui {
namespace {

// Static texts show a single '&' as nothing (it marks a shortcut) and "&&" as '&'; a line break
// may come as "\n\r" or "\r\n" as well as "\n".
QString WithoutMnemonics(const std::string& text) {
    QString shown;
    QString source = QString::fromStdString(text);
    source.replace("\n\r", "\n").replace("\r\n", "\n").replace('\r', '\n');
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] == '&' && i + 1 < source.size()) ++i;
        shown += source[i];
    }
    return shown;
}

// Enter in a value box takes the typed value and leaves the dialog open, so the user sees the
// preview for it before OK; Enter anywhere else still presses the default button.
class ValueLineEdit final : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        QLineEdit::keyPressEvent(event);
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) event->accept();
    }
};

} // namespace

TextStaticItem::TextStaticItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), label_(new QLabel(&dialog)) {
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Like the window system's static texts, long lines wrap at word breaks.
    label_->setWordWrap(true);
    Adopt(label_);
}

void TextStaticItem::ShowText(const std::string& text) {
    label_->setText(WithoutMnemonics(text));
    FitFont();
}

int WrappedTextHeight(const QLabel& label, const QFont& font) {
    const QRect room(0, 0, std::max(label.width(), 1), 1 << 20);
    return QFontMetrics(font)
        .boundingRect(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label.text())
        .height();
}

// A text too long for its item is shown in a smaller font, down to 8 pixels, rather than cut.
void TextStaticItem::FitFont() {
    QFont font = label_->parentWidget()->font();
    constexpr int kSmallest = 8;
    while (font.pixelSize() > kSmallest && WrappedTextHeight(*label_, font) > label_->height())
        font.setPixelSize(font.pixelSize() - 1);
    label_->setFont(font);
}

PushButtonItem::PushButtonItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), button_(new QPushButton(&dialog)) {
    button_->setAutoDefault(false);
    if (id == 1) button_->setDefault(true);
    QObject::connect(button_, &QPushButton::clicked, button_,
                     [this] { Notify(kADMUserChangedNotifier); });
    Adopt(button_);
}

void PushButtonItem::ShowText(const std::string& text) {
    button_->setText(QString::fromStdString(text));
}

CheckBoxItem::CheckBoxItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), box_(new QCheckBox(&dialog)) {
    QObject::connect(box_, &QCheckBox::clicked, box_, [this](bool checked) {
        boolean_ = checked;
        Notify(kADMUserChangedNotifier);
    });
    Adopt(box_);
}

void CheckBoxItem::ShowText(const std::string& text) {
    box_->setText(QString::fromStdString(text));
}

void CheckBoxItem::PutValue() {
    box_->setChecked(Boolean());
}

SliderItem::SliderItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), slider_(new QSlider(Qt::Horizontal, &dialog)) {
    QObject::connect(slider_, &QSlider::valueChanged, slider_, [this](int v) {
        if (updating_) return;
        value_ = float(v);
        Notify(slider_->isSliderDown() ? kADMIntermediateChangedNotifier : kADMUserChangedNotifier);
    });
    QObject::connect(slider_, &QSlider::sliderReleased, slider_,
                     [this] { Notify(kADMUserChangedNotifier); });
    Adopt(slider_);
}

void SliderItem::PutValue() {
    slider_->setRange(int(std::lround(Minimum())), int(std::lround(Maximum())));
    slider_->setValue(int(std::lround(Float())));
}

TextEditItem::TextEditItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), edit_(new ValueLineEdit(&dialog)) {
    edit_->setAlignment(Qt::AlignRight);
    QObject::connect(edit_, &QLineEdit::editingFinished, edit_, [this] { CommitEdit(); });
    Adopt(edit_);
}

std::string TextEditItem::Text() const {
    return edit_->text().toStdString();
}

void TextEditItem::ShowText(const std::string& text) {
    const QString q = QString::fromStdString(text);
    updating_ = true;
    edit_->setText(q);
    updating_ = false;
    bool ok = false;
    const float v = q.toFloat(&ok);
    if (ok) SetFloat(v);
}

void TextEditItem::PutValue() {
    edit_->setText(QString::number(double(Float()), 'f', Precision()));
    edit_->setModified(false);
}

// A typed value is taken when the user leaves the box or presses Enter; text that is not a
// number brings the old value back.
void TextEditItem::CommitEdit() {
    if (updating_ || !edit_->isModified()) return;
    bool ok = false;
    const float typed = edit_->text().trimmed().toFloat(&ok);
    if (ok && std::isfinite(typed)) {
        const float scale = std::pow(10.0f, float(Precision()));
        SetFloat(std::round(typed * scale) / scale);
    } else {
        ShowValue();
    }
    edit_->setModified(false);
    if (ok) Notify(kADMUserChangedNotifier);
}

PopupMenuItem::PopupMenuItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName)
    : AdmItem(dialog, id, typeName), button_(new QToolButton(&dialog)),
      list_(std::make_unique<AdmList>(*this)) {
    auto* menu = new QMenu(button_);
    button_->setMenu(menu);
    button_->setPopupMode(QToolButton::InstantPopup);
    button_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The menu is rebuilt from the entries each time it opens.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this] { FillMenu(); });
    Adopt(button_);
}

PopupMenuItem::~PopupMenuItem() = default;

void PopupMenuItem::FillMenu() {
    QMenu* menu = button_->menu();
    menu->clear();
    for (ADMInt32 i = 0; i < list_->Count(); ++i) {
        AdmEntry* entry = list_->At(i);
        if (entry->separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(entry->text));
        action->setCheckable(true);
        action->setChecked(entry == list_->Active());
        QObject::connect(action, &QAction::triggered, menu, [this, entry] {
            if (!list_->Owns(entry)) return;
            list_->SetActive(entry);
            Notify(kADMUserChangedNotifier);
        });
    }
}

std::string PopupMenuItem::Text() const {
    return list_->Active() ? list_->Active()->text : std::string();
}

// A menu too narrow for the chosen entry's text shows only its arrow, as a drop-down button.
void PopupMenuItem::ShowActiveEntry() {
    const AdmEntry* active = list_->Active();
    const QString text = QString::fromStdString(active ? active->text : text_);
    const int room = button_->width() - button_->iconSize().width();
    button_->setText(button_->fontMetrics().horizontalAdvance(text) <= room ? text : QString());
}

} // namespace quillon::ui
