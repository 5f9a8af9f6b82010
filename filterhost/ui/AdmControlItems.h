// Items shown with the toolkit's own controls: static texts, push buttons, check boxes, sliders,
// number boxes and popup menus.
#pragma once

#include "ui/AdmItem.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace quillon::ui {

class TextStaticItem : public AdmItem {
  public:
    TextStaticItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    void Resized() override { FitFont(); }

  protected:
    void ShowText(const std::string& text) override;

  private:
    void FitFont();
    QLabel* label_;
};

// The height of a label's text wrapped at its width in a font.
int WrappedTextHeight(const QLabel& label, const QFont& font);

// The button with id 1 is the dialog's default button.
class PushButtonItem : public AdmItem {
  public:
    PushButtonItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);

  protected:
    void ShowText(const std::string& text) override;

  private:
    QPushButton* button_;
};

class CheckBoxItem : public AdmItem {
  public:
    CheckBoxItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    Shown ShownValue() const override { return Boolean(); }

  protected:
    void ShowText(const std::string& text) override;
    void PutValue() override;

  private:
    QCheckBox* box_;
};

// Notifies intermediate changes while the handle is dragged, and a user change when it is let go.
class SliderItem : public AdmItem {
  public:
    SliderItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    Shown ShownValue() const override { return Float(); }

  protected:
    void PutValue() override;

  private:
    QSlider* slider_;
};

// A number box: the value shows with the item's precision; typed text is taken as a number.
class TextEditItem : public AdmItem {
  public:
    TextEditItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    std::string Text() const override;
    Shown ShownValue() const override { return Float(); }

  protected:
    void ShowText(const std::string& text) override;
    void PutValue() override;

  private:
    void CommitEdit();
    QLineEdit* edit_;
};

// A menu button showing the chosen entry of its list.
class PopupMenuItem : public AdmItem {
  public:
    PopupMenuItem(AdmDialog& dialog, ADMInt32 id, const std::string& typeName);
    ~PopupMenuItem() override;
    AdmList* List() const override { return list_.get(); }
    std::string Text() const override;
    Shown ShownValue() const override { return list_.get(); }
    void Resized() override { ShowActiveEntry(); }
    // Shows the list's active entry on the menu button.
    void ShowActiveEntry();

  protected:
    void ShowText(const std::string&) override { ShowActiveEntry(); }

  private:
    void FillMenu();
    QToolButton* button_;
    std::unique_ptr<AdmList> list_;
};

} // namespace quillon::ui
