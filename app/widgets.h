// The Qt widgets the frame builds windows from. Internal to app/ and tests.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

#include <string>

#include "app/frame.h"

class QMenuBar;

namespace frame {

// Fixed frame metrics the window sizes are worked out from: a definition's
// width and height are the outer size, so the client area is the outer size
// less a 3-pixel border on each side, a 23-pixel caption and the menu bar.
// The window manager's own decoration comes on top of the client area.
struct FrameMetrics {
  static constexpr int kBorder = 3;
  static constexpr int kCaption = 23;
  static int ClientWidth(int outerWidth) { return outerWidth - 2 * kBorder; }
  static int ClientHeight(int outerHeight, int menuBarHeight) {
    return outerHeight - kCaption - 2 * kBorder - menuBarHeight;
  }
};

// Mouse arguments: the pointer from the control's top-left corner (each an
// unsigned 16-bit value) and the key state of Ctrl, Shift and Alt.
EventArgs MouseArguments(QPoint local, Qt::KeyboardModifiers modifiers);
QColor ToQColor(Rgb c);
QString ToQString(const GbText& text);
GbText FromQString(const QString& text);
// The stored font as a Qt font: "宋体" goes through the substitution the
// frame sets up; a missing font means the default GUI font.
QFont ToQFont(const std::optional<Font>& font);
// A picture from the resources, decoded once; null when it cannot be read.
QImage LoadPicture(const std::string& resourcePath, QSize cover = {});
// Smoothing when the display has more than 16 bits per pixel.
Qt::TransformationMode ScalingMode();

// A label that draws only its caption over whatever lies beneath.
class LabelWidget : public QWidget {
 public:
  LabelWidget(QWidget* parent, const ControlDef& def);
  const GbText& Caption() const { return caption_; }
  void SetCaption(const GbText& caption);
  int PointSize() const { return points_; }
  void SetPointSize(int points);
  int PixelSize() const { return font_.pixelSize(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  const ControlDef& def_;
  GbText caption_;
  QString text_;
  QFont font_;
  int points_;
};

// An opaque box that draws a stored picture stretched to its size.
class PictureWidget : public QWidget {
 public:
  PictureWidget(QWidget* parent, const ControlDef& def);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QPixmap scaled_;
};

// A link that opens its address on a press and shows its state in colour.
class HyperlinkWidget : public QWidget {
 public:
  HyperlinkWidget(QWidget* parent, const ControlDef& def);
  bool Opened() const { return opened_; }
  bool Hovered() const { return hovered_; }
  QColor CurrentColour() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  const ControlDef& def_;
  QString caption_;
  bool hovered_ = false;
  bool opened_ = false;
};

// A multi-line edit box. Its content is kept with CR LF line breaks at the
// frame's interface; the widget itself holds plain lines.
class EditWidget : public QPlainTextEdit {
 public:
  EditWidget(QWidget* parent, const ControlDef& def);
  GbText Content() const;
  void SetContent(const GbText& text);
};

// The client area below the menu bar: paints the stretched background.
class ClientArea : public QWidget {
 public:
  ClientArea(QWidget* parent, const WindowDef& def, QSize size);
  const QPixmap& Background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QPixmap background_;
};

class LoadedWindow;

// A top-level window of the program.
class TopLevel : public QWidget {
 public:
  TopLevel(LoadedWindow& loaded, QWidget* owner);
  LoadedWindow& Loaded() { return loaded_; }
  ClientArea* Client() const { return client_; }
  QMenuBar* MenuBar() const { return menuBar_; }
  void SetClient(ClientArea* client) { client_ = client; }
  void SetMenuBar(QMenuBar* bar) { menuBar_ = bar; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  LoadedWindow& loaded_;
  ClientArea* client_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
};

// Test access to the widgets behind a live window.
TopLevel* TopLevelOf(Window& window);
QWidget* ControlWidget(Window& window, std::string_view name);

}  // namespace frame
