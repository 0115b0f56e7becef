// The two information windows, opened modally over the main window the way
// its menu opens them: their texts, their frame, the fitted text box, the
// modal wait and the feedback link.
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/shell.h"
#include "dice/dice.h"
#include "test_util.h"
#include "ui/info/info_windows.h"
#include "ui/main/main_window.h"
#include "ui/site.h"

namespace {

using frame::Gb;
using frame::GbText;

// ---- The stored texts, line by line ----

std::string Rule() { return std::string(74, '='); }

// The rule and the author's lines that close both texts.
std::vector<std::string> AuthorLines() {
  return {Rule(),
          "作者声明：",
          ui::kAuthorStatement,
          "",
          "因使用本软件造成一切后果，作者不负任何责任！",
          "",
          std::string("如有问题请联系：") + ui::kAuthorEmail,
          "",
          std::string("QQ：") + ui::kAuthorMessagingNumber,
          "",
          std::string("博客：") + ui::kBlogAddress};
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

std::vector<std::string> UsageLines() {
  std::vector<std::string> lines = {"使用说明：",
          "写这个小程序的初衷就是为了让大家更好的和朋友相处，不要为了一点小事就闹矛盾",
          "哈，更不要因为这个小软件而闹矛盾，那样的话就得不偿失了，Mibbet也不希望看到大",
          "家因为这个小软件而闹矛盾，谢谢大家的支持！",
          "",
          "本程序为 情侣情趣骰子、家务骰子，就餐游玩骰子的合集版！",
          "",
          "情侣情趣骰子第一个包括：舔、揉、亲吻、捏、咬、发痒、打、吹、吸 ",
          "第二个骰子包括：嘴唇、耳朵、颈部、脚趾、咪咪、大腿、屁屁、肚脐、任人宰割",
          "",
          "",
          "",
          "家务骰子包括了：捏肩膀、揉脚丫、呆着、做饭、擦地板、买菜、洗碗、洗衣服、",
          std::string(16, ' ') + "男方听女方指挥、女方听男方指挥",
          "",
          "",
          "",
          "就餐游玩骰子包括了：女决定、男决定、吃西餐、呆在家、逛逛街、看电影、吃中餐、",
          std::string(20, ' ') + "逛公园、游乐场、动物园",
          "",
          "",
          "",
          "情侣之间玩耍的小软件，给情侣提供了无限乐趣！",
          "",
          "未满十八岁酌情使用，因使用本软件造成一切后果，作者不负任何责任！",
          "",
          "本程序比实际当中的骰子添加了更多命令，唯一的缺点就是不能自定义命令，这个在以后的版本中会加以改善！",
      };
  Append(lines, AuthorLines());
  lines.push_back("");
  return lines;
}

std::vector<std::string> NotesLines() {
  std::vector<std::string> lines = {"",
          "2012.9.24号本次更新以下内容：",
          "",
          "1.用户界面的美化",
          "",
          "2.增加一个“分歧吵架道歉骰子” 谢谢52vi的“Ferrowick” 提的建议",
          "更新包括了：",
          "",
          "听男方的",
          "听女方的",
          "再来一次",
          "男方道歉",
          "女方道歉",
          "男方给女方买礼物并道歉",
          "女方给男方买礼物并道歉",
          "",
          "文本不多，实在是想不起来了，大家有什么好的内容都可以在论坛回帖，或者在我的博客留言",
          "好的内容Mibbet都会采纳的。",
      };
  Append(lines, AuthorLines());
  return lines;
}

// The stored form: GB2312, CR LF after every line, the last one too.
GbText Stored(const std::vector<std::string>& lines) {
  GbText text;
  for (const std::string& line : lines) text += Gb(line) + "\r\n";
  return text;
}

// A GB2312 text split at CR LF and shown as UTF-8, so a mismatch names the line.
std::vector<std::string> Lines(const GbText& text) {
  std::vector<std::string> lines;
  const std::string utf8 = frame::Utf8(text);
  std::size_t from = 0;
  for (std::size_t at; (at = utf8.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(utf8.substr(from, at - from));
  if (from != utf8.size()) lines.push_back(utf8.substr(from) + "<no CR LF>");
  return lines;
}

struct InfoCase {
  const char* label;
  const frame::WindowDef& (*def)();
  const char* resource;
  std::vector<std::string> (*lines)();
  const char* title;
  int width, height;
};

const InfoCase kInfoCases[] = {
    {"Usage", ui::UsageWindowDefinition, ":/texts/usage.txt", UsageLines, "使用说明", 459, 381},
    {"Notes", ui::NotesWindowDefinition, ":/texts/notes.txt", NotesLines, "更新说明", 467, 411},
};

void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.label; }

std::string CaseName(const testing::TestParamInfo<InfoCase>& info) { return info.param.label; }

// ---- Launches instead of a browser ----

struct Launch {
  std::string program;
  std::vector<std::string> args;
  friend bool operator==(const Launch&, const Launch&) = default;
};

std::vector<Launch> launches;
std::set<std::string> startingPrograms;  // the programs the fake lets "start"

void InstallFakeLauncher() {
  frame::shell::SetLauncher([](const std::string& program, const std::vector<std::string>& args) {
    launches.push_back({program, args});
    return startingPrograms.count(program) > 0;
  });
}

// No test of this program ever starts a real browser.
class NoBrowser : public testing::Environment {
 public:
  void SetUp() override { InstallFakeLauncher(); }
};
[[maybe_unused]] const auto* const kNoBrowser = testing::AddGlobalTestEnvironment(new NoBrowser);

// ---- The fixture: a fresh main window to own the information window ----

class InfoWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakeLauncher();
    launches.clear();
    startingPrograms.clear();
    unsetenv("BROWSER");
    dice::diceKind = dice::None;
    ASSERT_TRUE(frame::LoadWindow(ui::MainWindowDefinition(), nullptr, false));
    main_ = frame::FindWindow(ui::MainWindowDefinition());
    ASSERT_NE(main_, nullptr);
  }

  void TearDown() override {
    if (frame::Window* w = frame::FindWindow(ui::MainWindowDefinition())) frame::RequestDestroy(*w);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame::FindWindow(ui::MainWindowDefinition()), nullptr);
    unsetenv("BROWSER");
    dice::diceKind = dice::None;
  }

  // Loads `def` modally over the main window; `whileUp` runs inside the
  // modal wait, then the window is closed unless `whileUp` closed it.
  // Returns LoadWindow's result; `ranInside` tells whether `whileUp` ran
  // while LoadWindow had not yet returned.
  bool OpenModal(const frame::WindowDef& def, const std::function<void(frame::Window&)>& whileUp,
                 bool* ranInside = nullptr) {
    bool returned = false, ran = false;
    QTimer::singleShot(0, [&] {
      frame::Window* info = frame::FindWindow(def);
      if (info == nullptr) {
        ADD_FAILURE() << "the information window was not loaded during the wait";
      } else {
        ran = !returned;
        whileUp(*info);
      }
      if (frame::Window* still = frame::FindWindow(def)) frame::TopLevelOf(*still)->close();
    });
    // Should a check leave the window up, close it so the test cannot hang.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      ADD_FAILURE() << "the information window was still up after 20 s";
      if (frame::Window* still = frame::FindWindow(def)) frame::TopLevelOf(*still)->close();
    });
    watchdog.start(20000);
    const bool result = frame::LoadWindow(def, main_, true);
    returned = true;
    if (ranInside != nullptr) *ranInside = ran;
    return result;
  }

  frame::Window* main_ = nullptr;
};

frame::EditWidget* Box(frame::Window& w) {
  return dynamic_cast<frame::EditWidget*>(frame::ControlWidget(w, "编辑框1"));
}

frame::HyperlinkWidget* Link(frame::Window& w) {
  return dynamic_cast<frame::HyperlinkWidget*>(frame::ControlWidget(w, "超级链接框1"));
}

class InfoWindowCase : public InfoWindowTest, public testing::WithParamInterface<InfoCase> {};

// ---- Texts ----

TEST_P(InfoWindowCase, TextIsStoredByteForByte) {
  const InfoCase& c = GetParam();
  const GbText expected = Stored(c.lines());
  const GbText resource = frame::ReadResource(c.resource);
  EXPECT_EQ(Lines(resource), c.lines());
  EXPECT_TRUE(resource == expected) << "the resource differs from the text byte for byte";

  std::optional<GbText> shown;
  OpenModal(c.def(), [&](frame::Window& info) { shown = info["编辑框1"].Text(); });
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(Lines(*shown), c.lines());
  EXPECT_TRUE(*shown == expected) << "the box's content differs from the text byte for byte";
}

// ---- Window settings and the created handler ----

TEST_P(InfoWindowCase, TitleSizeAndPlace) {
  const InfoCase& c = GetParam();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  OpenModal(c.def(), [&](frame::Window& info) {
    frame::TopLevel* top = frame::TopLevelOf(info);
    EXPECT_EQ(top->windowTitle().toStdString(), c.title);
    EXPECT_EQ(info.Width(), c.width);
    EXPECT_EQ(info.Height(), c.height);
    // No menu bar: the client area is the outer size less the frame.
    EXPECT_EQ(top->MenuBar(), nullptr);
    EXPECT_EQ(top->size(), QSize(c.width - 6, c.height - 29));
    EXPECT_EQ(top->Client()->geometry(), QRect(0, 0, c.width - 6, c.height - 29));
    // Centred: the outer rectangle at the centre, the client area inside it.
    EXPECT_EQ(top->geometry().topLeft(),
              QPoint((screen.width() - c.width) / 2 + 3, (screen.height() - c.height) / 2 + 26));
    EXPECT_FALSE(top->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(top->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(top->windowFlags() & Qt::WindowCloseButtonHint);
    // Out of the taskbar: owned by a window that is never shown and that
    // is none of the program's windows.
    QWidget* owner = top->parentWidget();
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(owner->isVisible());
    EXPECT_NE(owner, frame::TopLevelOf(*main_));
    EXPECT_EQ(dynamic_cast<frame::TopLevel*>(owner), nullptr);
    EXPECT_TRUE(top->isVisible());
  });
}

TEST_P(InfoWindowCase, CreatedHandlerFitsTheBoxToTheWindow) {
  const InfoCase& c = GetParam();
  OpenModal(c.def(), [&](frame::Window& info) {
    EXPECT_EQ(info["编辑框1"].Width(), c.width - 5);
    EXPECT_EQ(info["编辑框1"].Height(), c.height);
    EXPECT_EQ(Box(info)->geometry(), QRect(0, 0, c.width - 5, c.height));
    // It reaches one pixel past the client area's right edge and well past
    // its bottom, so the lower end of the scroll bar is out of sight.
    const QRect client = frame::TopLevelOf(info)->Client()->rect();
    EXPECT_EQ(Box(info)->geometry().right(), client.right() + 1);
    QScrollBar* bar = Box(info)->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->mapTo(Box(info), QPoint(0, bar->height())).y(), client.bottom());
  });
}

// ---- The text box ----

TEST_P(InfoWindowCase, TextBoxSettings) {
  const InfoCase& c = GetParam();
  OpenModal(c.def(), [&](frame::Window& info) {
    frame::EditWidget* box = Box(info);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_EQ(box->font(), QApplication::font());
    EXPECT_EQ(box->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(box->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black));
    EXPECT_TRUE(box->focusPolicy() & Qt::TabFocus);
    // Without the focus the selection does not show.
    EXPECT_EQ(box->palette().color(QPalette::Inactive, QPalette::Highlight),
              box->palette().color(QPalette::Inactive, QPalette::Base));
    // Caret at the start, view at the first line.
    EXPECT_EQ(box->textCursor().position(), 0);
    EXPECT_EQ(box->verticalScrollBar()->value(), 0);
    EXPECT_EQ(box->cursorForPosition(QPoint(5, 5)).blockNumber(), 0);
    // The longest line wraps at the right edge; nothing scrolls sideways.
    int longest = 0, mostLines = 0;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
      if (b.layout()->lineCount() > mostLines) {
        mostLines = b.layout()->lineCount();
        longest = b.blockNumber();
      }
    EXPECT_GE(mostLines, 2) << "no line wraps";
    EXPECT_EQ(box->document()->findBlockByNumber(longest).text().toStdString(),
              c.lines()[static_cast<std::size_t>(longest)]);
    EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0);
    // The text is longer than the box: the scroll bar has somewhere to go.
    EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
  });
}

TEST_P(InfoWindowCase, TypingIsAllowedAndForgottenOnClosing) {
  const InfoCase& c = GetParam();
  const GbText stored = Stored(c.lines());
  bool ranInside = false;
  OpenModal(
      c.def(),
      [&](frame::Window& info) {
        frame::EditWidget* box = Box(info);
        box->setFocus();
        QWindow* native = frame::TopLevelOf(info)->windowHandle();
        QTest::keyClick(native, 'x');
        QTest::keyClick(native, 'y');
        QTest::keyClick(native, Qt::Key_Return);
        EXPECT_TRUE(info["编辑框1"].Text() == "xy\r\n" + stored)
            << frame::Utf8(info["编辑框1"].Text().substr(0, 40));
        // Esc closes the window although the box has the focus.
        const QPointer<frame::TopLevel> top = frame::TopLevelOf(info);
        QTest::keyClick(native, Qt::Key_Escape);
        EXPECT_TRUE(top.isNull() || !top->isVisible());
      },
      &ranInside);
  EXPECT_TRUE(ranInside);
  EXPECT_EQ(frame::FindWindow(c.def()), nullptr);

  // A second opening builds the window afresh from its definition.
  OpenModal(c.def(), [&](frame::Window& info) {
    EXPECT_TRUE(info["编辑框1"].Text() == stored);
    EXPECT_EQ(Box(info)->textCursor().position(), 0);
    EXPECT_EQ(Box(info)->verticalScrollBar()->value(), 0);
    EXPECT_EQ(Box(info)->geometry(), QRect(0, 0, c.width - 5, c.height));
  });
}

// ---- The modal wait ----

enum class CloseBy { CloseRequest, EscInBox };

class InfoWindowClosing : public InfoWindowTest,
                          public testing::WithParamInterface<std::tuple<InfoCase, CloseBy>> {};

TEST_P(InfoWindowClosing, MainWindowIsDisabledUntilTheWindowHasGone) {
  const auto& [c, how] = GetParam();
  QWidget* mainTop = frame::TopLevelOf(*main_);
  bool closedInside = false, reEnabledOnClosing = false;
  QPointer<frame::TopLevel> infoTop;
  const bool loaded = OpenModal(
      c.def(),
      [&](frame::Window& info) {
        infoTop = frame::TopLevelOf(info);
        EXPECT_FALSE(mainTop->isEnabled());
        EXPECT_TRUE(infoTop->isEnabled());
        if (how == CloseBy::CloseRequest) {
          infoTop->close();
        } else {
          Box(info)->setFocus();
          QTest::keyClick(infoTop->windowHandle(), Qt::Key_Escape);
        }
        // Closing gives the main window back before the window goes.
        closedInside = true;
        reEnabledOnClosing = mainTop->isEnabled();
        // (The key click takes the posted messages itself, so only a plain
        // close request still finds the window here.)
        if (how == CloseBy::CloseRequest) {
          EXPECT_NE(frame::FindWindow(c.def()), nullptr) << "destroyed within the close itself";
        }
      });
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(closedInside);
  EXPECT_TRUE(reEnabledOnClosing);
  // LoadWindow came back only once the window had been destroyed.
  EXPECT_EQ(frame::FindWindow(c.def()), nullptr);
  EXPECT_TRUE(infoTop.isNull());
  EXPECT_TRUE(mainTop->isEnabled());
}

std::string ClosingName(const testing::TestParamInfo<std::tuple<InfoCase, CloseBy>>& info) {
  return std::string(std::get<0>(info.param).label) +
         (std::get<1>(info.param) == CloseBy::CloseRequest ? "Close" : "Esc");
}

INSTANTIATE_TEST_SUITE_P(Both, InfoWindowCase, testing::ValuesIn(kInfoCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Both, InfoWindowClosing,
                         testing::Combine(testing::ValuesIn(kInfoCases),
                                          testing::Values(CloseBy::CloseRequest, CloseBy::EscInBox)),
                         ClosingName);

// ---- The feedback link ----

constexpr QColor kBlue(0, 0, 255), kOver(49, 106, 197), kOpened(128, 0, 0);
const std::string kFeedback = "http://mibbet.example.com/FeedBack/";

// Whether the link as painted shows its caption in `colour`: the pixel that
// stands out most from the background (the core of a stroke; the edges are
// smoothed) is nearer to `colour` than to the link's other two colours.
int Distance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

bool PaintedIn(frame::HyperlinkWidget* link, QColor colour) {
  const QImage image = link->grab().toImage();
  const QColor background = image.pixelColor(0, 0);
  QColor core = background;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Distance(image.pixelColor(x, y), background) > Distance(core, background))
        core = image.pixelColor(x, y);
  if (Distance(core, colour) > 60) return false;
  for (QColor other : {kBlue, kOver, kOpened})
    if (other != colour && Distance(core, other) <= Distance(core, colour)) return false;
  return true;
}

TEST_F(InfoWindowTest, FeedbackLinkLiesAboveTheTextBox) {
  EXPECT_EQ(ui::kFeedbackAddress, kFeedback);
  startingPrograms = {"xdg-open"};
  OpenModal(ui::UsageWindowDefinition(), [&](frame::Window& info) {
    frame::HyperlinkWidget* link = Link(info);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->geometry(), QRect(288, 320, 136, 24));
    EXPECT_TRUE(info["超级链接框1"].Text() == Gb("点击留言"));
    EXPECT_TRUE(link->isVisible());
    EXPECT_FALSE(link->focusPolicy() & Qt::TabFocus);
    // The box covers the link's place, yet the link is what lies there.
    EXPECT_TRUE(Box(info)->geometry().contains(link->geometry()));
    QWidget* client = frame::TopLevelOf(info)->Client();
    for (QPoint p : {QPoint(289, 321), QPoint(356, 332), QPoint(423, 343)})
      EXPECT_EQ(client->childAt(p), link) << p.x() << "," << p.y();
    EXPECT_EQ(client->childAt(QPoint(287, 332)), Box(info)->viewport());
    // A press there reaches the link, not the box.
    const int caretBefore = Box(info)->textCursor().position();
    testutil::Press(info, {350, 330});
    EXPECT_EQ(launches, (std::vector<Launch>{{"xdg-open", {kFeedback}}}));
    EXPECT_EQ(Box(info)->textCursor().position(), caretBefore);
    testutil::Release(info, {350, 330});
  });
  EXPECT_EQ(launches.size(), 1u);
}

// Each row: the programs that start, $BROWSER, the launches tried in order
// and whether the link counts as opened.
struct LaunchCase {
  const char* label;
  std::set<std::string> starting;
  const char* browserEnv;  // null: unset
  std::vector<Launch> tried;
  bool opened;
};

class FeedbackLinkLaunch : public InfoWindowTest, public testing::WithParamInterface<LaunchCase> {};

TEST_P(FeedbackLinkLaunch, OpensOnThePressInOrder) {
  const LaunchCase& c = GetParam();
  startingPrograms = c.starting;
  if (c.browserEnv != nullptr) setenv("BROWSER", c.browserEnv, 1);
  OpenModal(ui::UsageWindowDefinition(), [&](frame::Window& info) {
    frame::HyperlinkWidget* link = Link(info);
    testutil::Press(info, {300, 330});
    EXPECT_EQ(launches, c.tried);  // on the press, before any release
    EXPECT_EQ(link->Opened(), c.opened);
    testutil::Release(info, {300, 330});
    EXPECT_EQ(launches.size(), c.tried.size()) << "the release opened it again";
  });
}

INSTANTIATE_TEST_SUITE_P(
    Shell, FeedbackLinkLaunch,
    testing::Values(
        LaunchCase{"DesktopOpener", {"xdg-open"}, "firefox", {{"xdg-open", {kFeedback}}}, true},
        LaunchCase{"RegisteredBrowser",
                   {"x-www-browser"},
                   nullptr,
                   {{"xdg-open", {kFeedback}}, {"x-www-browser", {kFeedback}}},
                   true},
        LaunchCase{"BrowserVariable",
                   {"lynx"},
                   "firefox --new-tab %s:lynx",
                   {{"xdg-open", {kFeedback}},
                    {"x-www-browser", {kFeedback}},
                    {"firefox", {"--new-tab", kFeedback}},
                    {"lynx", {kFeedback}}},
                   true},
        LaunchCase{"NothingStarts",
                   {},
                   "firefox",
                   {{"xdg-open", {kFeedback}}, {"x-www-browser", {kFeedback}}, {"firefox", {kFeedback}}},
                   false}),
    [](const testing::TestParamInfo<LaunchCase>& info) { return info.param.label; });

TEST_F(InfoWindowTest, FeedbackLinkColours) {
  OpenModal(ui::UsageWindowDefinition(), [&](frame::Window& info) {
    frame::HyperlinkWidget* link = Link(info);
    QWindow* native = frame::TopLevelOf(info)->windowHandle();
    const QPoint over(350, 330), away(100, 100);
    QTest::mouseMove(native, away);
    EXPECT_EQ(link->CurrentColour(), kBlue);
    EXPECT_TRUE(PaintedIn(link, kBlue));

    QTest::mouseMove(native, over);
    EXPECT_TRUE(link->Hovered());
    EXPECT_EQ(link->CurrentColour(), kOver);
    EXPECT_TRUE(PaintedIn(link, kOver));
    QTest::mouseMove(native, away);
    EXPECT_EQ(link->CurrentColour(), kBlue);

    // A successful open: dark red once the pointer has left.
    startingPrograms = {"xdg-open"};
    testutil::Click(info, over);
    EXPECT_EQ(link->CurrentColour(), kOver);
    QTest::mouseMove(native, away);
    EXPECT_EQ(link->CurrentColour(), kOpened);
    EXPECT_TRUE(PaintedIn(link, kOpened));
    EXPECT_FALSE(PaintedIn(link, kBlue));

    // A failed attempt takes it back to blue.
    startingPrograms = {};
    testutil::Click(info, over);
    QTest::mouseMove(native, away);
    EXPECT_FALSE(link->Opened());
    EXPECT_EQ(link->CurrentColour(), kBlue);
    EXPECT_TRUE(PaintedIn(link, kBlue));
  });
  // The opened state does not outlive the window.
  startingPrograms = {"xdg-open"};
  OpenModal(ui::UsageWindowDefinition(), [&](frame::Window& info) {
    EXPECT_FALSE(Link(info)->Opened());
    EXPECT_EQ(Link(info)->CurrentColour(), kBlue);
  });
}

TEST_F(InfoWindowTest, DoubleClickOnTheLinkOpensOnce) {
  startingPrograms = {"xdg-open"};
  OpenModal(ui::UsageWindowDefinition(), [&](frame::Window& info) {
    testutil::DoubleClick(info, {350, 330});
    EXPECT_EQ(launches, (std::vector<Launch>{{"xdg-open", {kFeedback}}}));
  });
}

}  // namespace
