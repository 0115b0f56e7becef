// Start-up probes: notice the first complete paint of a program's window.
//
// WatchFirstPaint registers a routine that runs while the QApplication is
// being constructed (before any window exists) and installs an
// application-wide event filter. When `counts` says a widget's paint event is
// the one that matters, a queued call is posted: it runs once the whole paint
// pass, children included, has been drawn and flushed to the platform. That
// call prints the time since the driver started the process and the peak
// resident memory so far, then runs `then` (close the window, stay open...).
//
// The driver passes its CLOCK_MONOTONIC reading taken just before it started
// the process in BENCH_T0_NS; without it the start time of the process from
// /proc/self/stat is used (10 ms resolution).
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace bench {

inline double MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Milliseconds since the process was started.
inline double SinceStartMs() {
  if (const char* t0 = std::getenv("BENCH_T0_NS"))
    return MonotonicMs() - static_cast<double>(std::strtoll(t0, nullptr, 10)) / 1e6;
  // Field 22 of /proc/self/stat: start time in clock ticks after boot, which
  // CLOCK_BOOTTIME counts from as well.
  std::ifstream stat("/proc/self/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) rest >> field;
  const double startMs = std::stod(field) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6 - startMs;
}

struct FirstPaintWatch : QObject {
  std::function<bool(QWidget*)> counts;
  std::function<void()> then;
  bool seen = false;

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (seen || e->type() != QEvent::Paint || !watched->isWidgetType()) return false;
    if (!counts(static_cast<QWidget*>(watched))) return false;
    seen = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          const double ms = SinceStartMs();
          rusage usage{};
          getrusage(RUSAGE_SELF, &usage);
          std::printf("first_paint_ms=%.3f maxrss_kib=%ld\n", ms, usage.ru_maxrss);
          std::fflush(stdout);
          if (then) then();
        },
        Qt::QueuedConnection);
    return false;
  }
};

inline FirstPaintWatch& Watch() {
  static FirstPaintWatch* watch = new FirstPaintWatch;  // lives as long as the process
  return *watch;
}

inline void InstallWatch() { QCoreApplication::instance()->installEventFilter(&Watch()); }

// Call before the QApplication is made.
inline void WatchFirstPaint(std::function<bool(QWidget*)> counts, std::function<void()> then) {
  Watch().counts = std::move(counts);
  Watch().then = std::move(then);
  qAddPreRoutine(InstallWatch);
}

}  // namespace bench
