// Death-test helper for fatal errors: answers the error box and describes it
// on stderr, so a test's regular expression can check what the box showed.
#pragma once

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <functional>
#include <string>

#include "test_util.h"

namespace testutil {

// One line "[box title=... icon=... buttons=... modality=... text=...]" with
// the line breaks of the text written as "/".
inline std::string DescribeBox(const QMessageBox& box) {
  QString text = box.text();
  text.replace(QChar('\n'), QChar('/'));
  const char* icon = box.icon() == QMessageBox::Critical  ? "error"
                     : box.icon() == QMessageBox::NoIcon ? "none"
                                                         : "other";
  const char* modality = box.windowModality() == Qt::NonModal         ? "none"
                         : box.windowModality() == Qt::ApplicationModal ? "application"
                                                                          : "window";
  return "[box title=" + box.windowTitle().toStdString() + " icon=" + icon +
         " buttons=" + std::to_string(box.buttons().size()) + " modality=" + modality +
         " text=" + text.toStdString() + "]";
}

// Runs `action`, which is to end in a fatal error: each box that comes up is
// described on stderr, `whileUp` runs, and the box is answered.
inline void AnswerFatalBox(const std::function<void()>& action,
                           const std::function<void()>& whileUp = {}) {
  AnswerBoxes(action, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr || !box->isVisible()) continue;
      std::fprintf(stderr, "\n%s\n", DescribeBox(*box).c_str());
      std::fflush(stderr);
    }
    if (whileUp) whileUp();
  });
}

// The description of the fatal-error box for `message` (UTF-8) and `code`,
// as a regular expression.
inline std::string FatalBoxPattern(const std::string& message, int code) {
  std::string text = "运行时出错!//";
  if (code != 0) text += "错误代码：" + std::to_string(code) + "//";
  if (!message.empty()) text += "错误信息：" + message + "/";
  return "\\[box title=错误 icon=error buttons=1 modality=none text=" + text + "\\]";
}

}  // namespace testutil
