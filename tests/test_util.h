// Helpers shared by the offscreen tests: finding windows and controls,
// pressing at client-area coordinates, and answering message boxes.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/frame_internal.h"

namespace testutil {

// What a message box showed before it was answered.
struct SeenBox {
  std::string title;  // UTF-8
  std::string text;   // UTF-8, line breaks as "\n"
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  Qt::WindowModality modality = Qt::NonModal;
};

// A box as the program's own messages show it: the given title and text,
// one button, no icon, and no other window taking input while it is up.
inline void ExpectPlainBox(const SeenBox& box, const std::string& title, const std::string& text) {
  EXPECT_EQ(box.title, title);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, 1);
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
}

// Answers every message box that comes up while `action` runs, recording it;
// `whileUp` runs while each box is showing (before it is dismissed).
inline std::vector<SeenBox> AnswerBoxes(const std::function<void()>& action,
                                        const std::function<void()>& whileUp = {}) {
  std::vector<SeenBox> seen;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr || !box->isVisible()) continue;
      seen.push_back({box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
                      static_cast<int>(box->buttons().size()), box->windowModality()});
      if (whileUp) whileUp();
      box->buttons().front()->click();
    }
  });
  timer.start();
  action();
  timer.stop();
  return seen;
}

// The menu item of a live window with that caption (UTF-8), or null.
inline QAction* MenuAction(frame::Window& w, const std::string& caption) {
  for (QAction* a : frame::TopLevelOf(w)->MenuBar()->findChildren<QAction*>())
    if (a->menu() == nullptr && a->text().toStdString() == caption) return a;
  return nullptr;
}

// The client area of a live window.
inline QWidget* Client(frame::Window& w) { return frame::TopLevelOf(w)->Client(); }

// Mouse input at client-area coordinates, delivered through the window the
// way the platform delivers it (so the frame examines it, the pointer grab
// applies and a double click arrives as one).
inline QWindow* NativeWindow(frame::Window& w) { return frame::TopLevelOf(w)->windowHandle(); }
inline QPoint InWindow(frame::Window& w, QPoint clientPoint) {
  return Client(w)->mapTo(frame::TopLevelOf(w), clientPoint);
}
inline void Press(frame::Window& w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mousePress(NativeWindow(w), Qt::LeftButton, mods, InWindow(w, at));
}
inline void Release(frame::Window& w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mouseRelease(NativeWindow(w), Qt::LeftButton, mods, InWindow(w, at));
}
inline void Click(frame::Window& w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::mouseClick(NativeWindow(w), Qt::LeftButton, mods, InWindow(w, at));
}
inline void DoubleClick(frame::Window& w, QPoint at) {
  QTest::mouseDClick(NativeWindow(w), Qt::LeftButton, Qt::NoModifier, InWindow(w, at));
}

}  // namespace testutil
