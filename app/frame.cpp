// The frame: start-up, window loading and destruction, modal waits, event
// delivery, message boxes and the fatal-error report, on top of Qt.
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QTranslator>
#include <QWindow>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/frame_internal.h"

namespace frame {
namespace {

constexpr QEvent::Type kDestroyMessage = static_cast<QEvent::Type>(QEvent::User + 1);
constexpr QEvent::Type kQuitMessage = static_cast<QEvent::Type>(QEvent::User + 2);

// The private message that carries out a requested destruction.
struct DestroyMessage : QEvent {
  DestroyMessage(std::shared_ptr<LoadedWindow> w, bool close)
      : QEvent(kDestroyMessage), window(std::move(w)), fromClose(close) {}
  std::shared_ptr<LoadedWindow> window;
  bool fromClose;
};

// Takes the frame's posted messages and examines input to its windows.
class Dispatcher : public QObject {
 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
};

struct FrameState {
  std::vector<std::shared_ptr<LoadedWindow>> live;  // loaded windows, in loading order
  LoadedWindow* modalWindow = nullptr;
  bool mainLoopStarted = false;
  bool dead = false;  // after a fatal error no handler runs
  Dispatcher* dispatcher = nullptr;
  QWidget* hiddenOwner = nullptr;  // owns windows that keep out of the taskbar
};

FrameState& State() {
  static FrameState state;
  return state;
}

std::shared_ptr<LoadedWindow> Shared(const LoadedWindow* w) {
  for (const auto& p : State().live)
    if (p.get() == w) return p;
  return nullptr;
}

LoadedWindow* LoadedOf(QWidget* widget) {
  if (widget == nullptr) return nullptr;
  auto* top = dynamic_cast<TopLevel*>(widget->window());
  return top != nullptr ? &top->Loaded() : nullptr;
}

QString DisplayText(const GbText& text) {
  QString s = ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

// Runs a handler; a failed allocation that escapes it is a fatal error.
void RunHandler(LoadedWindow& w, const Handler& run, const EventArgs& args) {
  if (State().dead || !run) return;
  const auto keep = Shared(&w);  // the record outlives its own handler
  try {
    run(w, args);
  } catch (const AllocationFailure& e) {
    FatalError(Gb("分配 " + std::to_string(e.bytes) + " 字节内存失败!"), 0);
  } catch (const std::bad_alloc&) {
    FatalError(Gb("分配 0 字节内存失败!"), 0);
  }
}

void Raise(LoadedWindow& w, std::string_view source, Event event, const EventArgs& args = {}) {
  if (State().dead) return;
  for (const HandlerEntry& h : w.Definition().handlers) {
    if (h.event == event && h.source == source) {
      RunHandler(w, h.run, args);
      return;
    }
  }
}

void ReEnable(LoadedWindow& w) {
  for (auto& [widget, enabled] : w.disabledWindows)
    if (widget) widget->setEnabled(enabled);
  w.disabledWindows.clear();
}

// Destroys a window now: the windows it disabled get their state back, the
// widgets go, a modal wait for it ends, and the last window brings the quit.
void DestroyNow(const std::shared_ptr<LoadedWindow>& w) {
  FrameState& s = State();
  if (!w->alive) return;
  w->destroyPending = false;
  ReEnable(*w);
  w->alive = false;
  TopLevel* top = w->top;
  w->top = nullptr;
  delete top;
  s.live.erase(std::remove(s.live.begin(), s.live.end(), w), s.live.end());
  if (s.live.empty() && s.mainLoopStarted)
    QCoreApplication::postEvent(s.dispatcher, new QEvent(kQuitMessage));
}

bool Dispatcher::event(QEvent* e) {
  if (e->type() == kDestroyMessage) {
    auto* m = static_cast<DestroyMessage*>(e);
    if (m->fromClose || m->window->destroyPending) DestroyNow(m->window);
    return true;
  }
  if (e->type() == kQuitMessage) {
    if (State().live.empty()) QCoreApplication::exit(0);
    return true;
  }
  return QObject::event(e);
}

// The control of `top` under `pos`, or null.
QWidget* ControlAt(TopLevel* top, QPoint pos) {
  ClientArea* client = top->Client();
  QWidget* w = top->childAt(pos);
  while (w != nullptr && w->parentWidget() != client) w = w->parentWidget();
  return w;
}

bool Dispatcher::eventFilter(QObject* watched, QEvent* e) {
  auto* qwindow = qobject_cast<QWindow*>(watched);
  if (qwindow == nullptr) return false;
  TopLevel* top = nullptr;
  for (const auto& w : State().live)
    if (w->top != nullptr && w->top->windowHandle() == qwindow) top = w->top;
  if (top == nullptr) return false;
  const bool inputAllowed = !State().dead && top->isEnabled() &&
                            (QApplication::activeModalWidget() == nullptr ||
                             QApplication::activeModalWidget() == top);
  if (e->type() == QEvent::MouseButtonRelease) {
    // The release goes to the control under the pointer, wherever the press was.
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() != Qt::LeftButton || !inputAllowed) return false;
    const QPoint pos = me->position().toPoint();
    QWidget* control = ControlAt(top, pos);
    if (control == nullptr) return false;
    Raise(top->Loaded(), control->objectName().toStdString(), Event::LeftReleased,
          MouseArguments(control->mapFrom(top, pos), me->modifiers()));
    return false;
  }
  if (e->type() == QEvent::KeyPress) {
    // Esc without Ctrl, Shift or Alt closes the window; no control here claims it.
    auto* ke = static_cast<QKeyEvent*>(e);
    const auto mods = ke->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (ke->key() == Qt::Key_Escape && mods == Qt::NoModifier &&
        top->Loaded().Definition().escCloses) {
      if (inputAllowed) top->close();
      return true;
    }
  }
  return false;
}

// Builds the menu bar; each leaf item raises selected under its name.
void BuildMenu(QMenu* menu, QMenuBar* bar, const std::vector<MenuItemDef>& items, TopLevel* top) {
  for (const MenuItemDef& item : items) {
    if (item.caption == "-") {
      if (menu != nullptr) menu->addSeparator();
      else bar->addSeparator();
      continue;
    }
    const QString caption = ToQString(item.caption);
    if (!item.items.empty()) {
      QMenu* sub = menu != nullptr ? menu->addMenu(caption) : bar->addMenu(caption);
      BuildMenu(sub, nullptr, item.items, top);
      continue;
    }
    QAction* action = menu != nullptr ? menu->addAction(caption) : bar->addAction(caption);
    const std::string name = item.name;
    QObject::connect(action, &QAction::triggered, top, [top, name] {
      if (top->isEnabled()) Raise(top->Loaded(), name, Event::Selected);
    });
  }
}

QWidget* MakeControl(const ControlDef& def, QWidget* parent) {
  switch (def.kind) {
    case ControlKind::TransparentLabel:
      return new LabelWidget(parent, def);
    case ControlKind::EditBox:
      return new EditWidget(parent, def);
    case ControlKind::PictureBox:
      return new PictureWidget(parent, def);
    case ControlKind::HyperlinkBox:
      return new HyperlinkWidget(parent, def);
  }
  return nullptr;
}

// Creates the window hidden, with its menu bar and controls.
void Build(LoadedWindow& w, bool modal) {
  FrameState& s = State();
  const WindowDef& def = w.Definition();
  const bool ownTaskbarEntry = !modal && def.showInTaskbar;
  auto* top = new TopLevel(w, ownTaskbarEntry ? nullptr : s.hiddenOwner);
  w.top = top;
  Qt::WindowFlags flags = (ownTaskbarEntry ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (def.minimiseButton) flags |= Qt::WindowMinimizeButtonHint;
  if (def.maximiseButton) flags |= Qt::WindowMaximizeButtonHint;
  top->setWindowFlags(flags);
  top->setWindowTitle(ToQString(def.title));
  top->setWindowIcon(QApplication::windowIcon());

  int menuHeight = 0;
  if (!def.menu.empty()) {
    auto* bar = new QMenuBar(top);
    BuildMenu(nullptr, bar, def.menu, top);
    menuHeight = bar->sizeHint().height();
    top->SetMenuBar(bar);
  }
  const int cw = FrameMetrics::ClientWidth(def.width);
  const int ch = FrameMetrics::ClientHeight(def.height, menuHeight);
  if (top->MenuBar() != nullptr) top->MenuBar()->setGeometry(0, 0, cw, menuHeight);
  auto* client = new ClientArea(top, def, QSize(cw, ch));
  client->move(0, menuHeight);
  top->SetClient(client);
  top->setFixedSize(cw, menuHeight + ch);

  // Centred means the outer rectangle is centred; the client area sits
  // inside it by the frame metrics.
  int left = def.left, topEdge = def.top;
  if (def.centred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    left = (screen.width() - def.width) / 2;
    topEdge = (screen.height() - def.height) / 2;
  }
  // setGeometry places the client rectangle itself (move() would place the
  // window manager's decoration there and push the client area inwards).
  top->setGeometry(left + FrameMetrics::kBorder,
                   topEdge + FrameMetrics::kBorder + FrameMetrics::kCaption, cw, menuHeight + ch);

  std::vector<QWidget*> widgets;
  for (const ControlDef& c : def.controls) {
    QWidget* widget = MakeControl(c, client);
    widget->setObjectName(QString::fromStdString(c.name));
    widget->setGeometry(c.left, c.top, std::max(0, c.width), std::max(0, c.height));
    widget->setEnabled(c.enabled);
    widget->setVisible(c.visible);
    widgets.push_back(widget);
    w.controls.push_back(std::make_unique<ControlImpl>(c, widget));
  }
  // The first control lies on top: raise them from the last to the first.
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) (*it)->raise();

  top->winId();  // makes the native window, so its input can be examined
  top->windowHandle()->installEventFilter(s.dispatcher);
}

// Qt's own messages ("could not connect to display") end in abort(); this
// turns a fatal one into a single clear line and a plain non-zero exit.
void QtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    // The platform layer's notes (a display it could not reach before the
    // fatal message, what the offscreen platform cannot do) are not for users.
    const bool platformNote = context.category != nullptr && std::string_view(context.category).rfind("qt.qpa", 0) == 0;
    if (type != QtDebugMsg && type != QtInfoMsg && !platformNote)
      std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return;
  }
  if (message.contains(QLatin1String("display")) || message.contains(QLatin1String("platform plugin")))
    std::fprintf(stderr, "dorvessa: cannot open a window: no display could be reached\n");
  else
    std::fprintf(stderr, "dorvessa: %s\n", message.toLocal8Bit().constData());
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

// ---- LoadedWindow and ControlImpl ----

LoadedWindow::~LoadedWindow() { delete top; }

ControlImpl* LoadedWindow::Find(std::string_view name) {
  for (auto& c : controls)
    if (c->Definition().name == name) return c.get();
  return nullptr;
}

Control& LoadedWindow::operator[](std::string_view name) {
  ControlImpl* c = Find(name);
  if (c == nullptr || !alive)
    FatalError(Gb("窗口 " + def_.name + " 中没有控件 " + std::string(name)), 0);
  return *c;
}

void ControlImpl::ShowNow(const QRect& area) const {
  QWidget* parent = widget_ ? widget_->parentWidget() : nullptr;
  if (parent != nullptr && parent->isVisible()) parent->repaint(area);
}

GbText ControlImpl::Text() const {
  if (auto* label = dynamic_cast<LabelWidget*>(widget_.data())) return label->Caption();
  if (auto* edit = dynamic_cast<EditWidget*>(widget_.data())) return edit->Content();
  return def_.text;
}

void ControlImpl::SetText(const GbText& text) {
  if (auto* label = dynamic_cast<LabelWidget*>(widget_.data())) {
    label->SetCaption(text);
    ShowNow(label->geometry());
  } else if (auto* edit = dynamic_cast<EditWidget*>(widget_.data())) {
    edit->SetContent(text);
  }
}

bool ControlImpl::Visible() const { return widget_ && !widget_->isHidden(); }

void ControlImpl::SetVisible(bool visible) {
  if (!widget_) return;
  widget_->setVisible(visible);
  ShowNow(widget_->geometry());
}

int ControlImpl::Width() const { return widget_ ? widget_->width() : 0; }
int ControlImpl::Height() const { return widget_ ? widget_->height() : 0; }

void ControlImpl::SetWidth(int width) {
  if (!widget_) return;
  const QRect before = widget_->geometry();
  widget_->resize(std::max(0, width), widget_->height());
  ShowNow(before.united(widget_->geometry()));
}

void ControlImpl::SetHeight(int height) {
  if (!widget_) return;
  const QRect before = widget_->geometry();
  widget_->resize(widget_->width(), std::max(0, height));
  ShowNow(before.united(widget_->geometry()));
}

int ControlImpl::FontSize() const {
  if (auto* label = dynamic_cast<LabelWidget*>(widget_.data())) return label->PointSize();
  return 0;
}

void ControlImpl::SetFontSize(int points) {
  if (auto* label = dynamic_cast<LabelWidget*>(widget_.data())) {
    label->SetPointSize(points);
    ShowNow(label->geometry());
  }
}

void RaiseControlEvent(QWidget* control, Event event, const EventArgs& args) {
  LoadedWindow* w = LoadedOf(control);
  if (w == nullptr || !w->alive) return;
  Raise(*w, control->objectName().toStdString(), event, args);
}

// ---- TopLevel ----

TopLevel::TopLevel(LoadedWindow& loaded, QWidget* owner) : QWidget(owner), loaded_(loaded) {}

void TopLevel::closeEvent(QCloseEvent* e) {
  // The frame destroys the window itself, through a posted message.
  e->ignore();
  if (State().dead || !isEnabled() || !loaded_.alive) return;
  if (loaded_.modal) ReEnable(loaded_);
  hide();
  if (auto self = Shared(&loaded_))
    QCoreApplication::postEvent(State().dispatcher, new DestroyMessage(self, true));
}

TopLevel* TopLevelOf(Window& window) { return static_cast<LoadedWindow&>(window).top; }

QWidget* ControlWidget(Window& window, std::string_view name) {
  ControlImpl* c = static_cast<LoadedWindow&>(window).Find(name);
  return c != nullptr ? c->Widget() : nullptr;
}

// ---- The four operations ----

bool LoadWindow(const WindowDef& def, Window* owner, bool modal) {
  FrameState& s = State();
  if (owner != nullptr) {
    // Looked up by address as a Window: an owner that is not a live window
    // of the frame may be any object, or one already gone.
    const auto o = std::find_if(s.live.begin(), s.live.end(),
                                [owner](const auto& p) { return p.get() == owner; });
    if (o == s.live.end() || !(*o)->alive) return false;
  }
  for (const auto& existing : s.live) {
    if (&existing->Definition() != &def) continue;
    if (!existing->destroyPending) {
      if (existing->top->isMinimized()) existing->top->showNormal();
      else existing->top->activateWindow();
      return true;
    }
    DestroyNow(std::shared_ptr<LoadedWindow>(existing));
    break;
  }

  auto w = std::make_shared<LoadedWindow>(def);
  Build(*w, modal);
  if (w->top == nullptr) return false;
  s.live.push_back(w);
  Raise(*w, "", Event::Created);
  if (!w->alive) return true;

  w->top->show();
  w->top->raise();
  w->top->activateWindow();

  if (modal) {
    w->modal = true;
    for (const auto& other : s.live) {
      if (other == w || other->top == nullptr) continue;
      w->disabledWindows.emplace_back(other->top, other->top->isEnabled());
      other->top->setEnabled(false);
    }
    LoadedWindow* before = s.modalWindow;
    s.modalWindow = w.get();
    while (w->alive) {
      QEventLoop loop;
      QObject::connect(w->top, &QObject::destroyed, &loop, &QEventLoop::quit);
      loop.exec();
    }
    s.modalWindow = before;
  }
  return true;
}

Window* FindWindow(const WindowDef& def) {
  for (const auto& w : State().live)
    if (&w->Definition() == &def && w->alive) return w.get();
  return nullptr;
}

void RequestDestroy(Window& window) {
  auto w = Shared(static_cast<LoadedWindow*>(&window));
  if (!w || !w->alive) return;
  w->destroyPending = true;
  QCoreApplication::postEvent(State().dispatcher, new DestroyMessage(w, false));
}

int ShowMessageBox(const GbText& text, int style, const std::optional<GbText>& title) {
  QMessageBox box(style & kIconError ? QMessageBox::Critical : QMessageBox::NoIcon,
                  ToQString(title.value_or(Gb("信息："))), DisplayText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);  // no window of the program takes input meanwhile
  box.exec();
  return 1;
}

GbText FatalErrorText(const GbText& message, int code) {
  GbText text = Gb("运行时出错!") + "\r\n\r\n";
  if (code != 0) text += Gb("错误代码：") + std::to_string(code) + "\r\n\r\n";
  if (!message.empty()) text += Gb("错误信息：") + message + "\r\n";
  return text;
}

void FatalError(const GbText& message, int code) {
  FrameState& s = State();
  s.dead = true;
  const GbText text = FatalErrorText(message, code);
  std::fprintf(stderr, "%s", Utf8(text).c_str());
  std::fflush(stderr);
  if (qApp != nullptr) {
    // Not task-modal: the windows stay on screen, but no handler runs any more.
    auto* box = new QMessageBox(QMessageBox::Critical, ToQString(Gb("错误")), DisplayText(text),
                                QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box->show();
    loop.exec();
    delete box;
    for (const auto& w : std::vector(s.live)) {
      w->alive = false;
      delete w->top;
      w->top = nullptr;
    }
  }
  std::fflush(stdout);
  std::_Exit(-1);
}

std::string ReadResource(std::string_view path) {
  QFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

std::uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

// ---- Start-up ----

int Run(int argc, char** argv, const WindowDef& start) {
  qInstallMessageHandler(QtMessages);
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() && qgetenv("DISPLAY").isEmpty() && qgetenv("WAYLAND_DISPLAY").isEmpty()) {
    std::fprintf(stderr, "dorvessa: cannot open a window: no display is set (DISPLAY is empty)\n");
    return 1;
  }
  QApplication app(argc, argv);
  InitialiseToolkit();
  if (!LoadWindow(start, nullptr, false)) FatalError(Gb("无法创建启动窗口"), 0);
  State().mainLoopStarted = true;
  if (State().live.empty()) return 0;
  const int status = app.exec();
  ShutDown();
  return status;
}

void InitialiseToolkit() {
  FrameState& s = State();
  QApplication::setQuitOnLastWindowClosed(false);
  // "宋体" is the Song face the window definitions ask for.
  static const QString kSong = QStringLiteral("AR PL UMing CN");
  QFont::insertSubstitution(QStringLiteral("宋体"), kSong);
  if (!QFontDatabase::families().contains(kSong)) {
    static bool told = false;
    if (!told)
      std::fprintf(stderr,
                   "dorvessa: the Song-style font \"%s\" is missing; install the package "
                   "fonts-arphic-uming for the intended look\n",
                   kSong.toUtf8().constData());
    told = true;
  }
  // The toolkit's own texts (buttons, edit menus) in Simplified Chinese.
  static QTranslator translator;
  if (translator.isEmpty() &&
      translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&translator);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.example.dorvessa"));
  if (s.dispatcher == nullptr) s.dispatcher = new Dispatcher;
  if (s.hiddenOwner == nullptr) {
    s.hiddenOwner = new QWidget;
    s.hiddenOwner->winId();  // a native window that is never shown
  }
  s.dead = false;
}

void ShutDown() {
  FrameState& s = State();
  for (const auto& w : std::vector(s.live)) DestroyNow(w);
  s.live.clear();
  s.modalWindow = nullptr;
  s.mainLoopStarted = false;
  delete s.hiddenOwner;
  s.hiddenOwner = nullptr;
  delete s.dispatcher;
  s.dispatcher = nullptr;
}

}  // namespace frame
