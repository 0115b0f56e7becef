// The reference for the start-up figures: the smallest Qt Widgets program
// that shows a window of the game's client size (371 x 303), one QLabel.
// It reports its first paint the same way as startup_game and then quits
// (or stays open with BENCH_AFTER_PAINT=stay).
#include <QApplication>
#include <QLabel>

#include <cstdlib>
#include <string_view>

#include "bench/first_paint.h"

int main(int argc, char** argv) {
  const char* after = std::getenv("BENCH_AFTER_PAINT");
  const bool stay = after != nullptr && std::string_view(after) == "stay";
  bench::WatchFirstPaint([](QWidget* w) { return qobject_cast<QLabel*>(w) != nullptr; },
                         [stay] {
                           if (!stay) QCoreApplication::quit();
                         });
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Dorvessa"));
  label.setWindowTitle(QStringLiteral("startup_minimal"));
  label.setFixedSize(371, 303);
  label.show();
  return app.exec();
}
