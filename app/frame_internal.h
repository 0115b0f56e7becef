// The frame's record of live windows. Internal to app/ and tests.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/frame.h"
#include "app/widgets.h"

namespace frame {

class ControlImpl;

// One live window: its widgets, its controls by name and the state the
// frame keeps for destruction and modal loading.
class LoadedWindow final : public Window {
 public:
  explicit LoadedWindow(const WindowDef& def) : def_(def) {}
  ~LoadedWindow() override;

  const WindowDef& Definition() const override { return def_; }
  Control& operator[](std::string_view name) override;
  int Width() const override { return def_.width; }
  int Height() const override { return def_.height; }

  ControlImpl* Find(std::string_view name);

  TopLevel* top = nullptr;  // owned by Qt; null once destroyed
  std::vector<std::unique_ptr<ControlImpl>> controls;
  bool destroyPending = false;
  bool modal = false;
  bool alive = true;
  // For a modal window: the windows its loading disabled, with their enabled
  // state from before, in the order disabled.
  std::vector<std::pair<QPointer<QWidget>, bool>> disabledWindows;

 private:
  const WindowDef& def_;
};

// A control of a live window: the widget and its definition.
class ControlImpl final : public Control {
 public:
  ControlImpl(const ControlDef& def, QWidget* widget) : def_(def), widget_(widget) {}
  const ControlDef& Definition() const { return def_; }
  QWidget* Widget() const { return widget_; }

  GbText Text() const override;
  void SetText(const GbText& text) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  int Width() const override;
  void SetWidth(int width) override;
  int Height() const override;
  void SetHeight(int height) override;
  int FontSize() const override;
  void SetFontSize(int points) override;

 private:
  // Puts a change on screen before the handler goes on.
  void ShowNow(const QRect& area) const;
  const ControlDef& def_;
  QPointer<QWidget> widget_;
};

// Raises a control event from one of the frame's widgets.
void RaiseControlEvent(QWidget* control, Event event, const EventArgs& args);

// Sets up the toolkit for the program (fonts, translations, icon, the
// frame's own objects) once a QApplication exists; ShutDown destroys every
// window still loaded and the frame's objects. Run calls both; tests that
// own their QApplication call them directly.
void InitialiseToolkit();
void ShutDown();

}  // namespace frame
