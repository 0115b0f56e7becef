#include "app/widgets.h"

#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <cmath>

#include "app/frame_internal.h"
#include "app/jpeg.h"
#include "app/shell.h"

namespace frame {

EventArgs MouseArguments(QPoint local, Qt::KeyboardModifiers m) {
  return EventArgs{static_cast<std::uint16_t>(local.x()), static_cast<std::uint16_t>(local.y()),
                   (m & Qt::ControlModifier ? kCtrl : 0) | (m & Qt::ShiftModifier ? kShift : 0) |
                       (m & Qt::AltModifier ? kAlt : 0)};
}

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QString ToQString(const GbText& text) { return QString::fromStdString(Utf8(text)); }

GbText FromQString(const QString& text) { return Gb(text.toStdString()); }

QFont ToQFont(const std::optional<Font>& font) {
  if (!font) return QGuiApplication::font();
  QFont f(QString::fromStdString(font->face));
  // Stored heights are in pixels; a negative one is the character height
  // without internal leading, which is what a pixel size means here.
  f.setPixelSize(std::max(1, std::abs(font->height)));
  f.setWeight(font->weight >= 700 ? QFont::Bold : QFont::Normal);
  // Small Song text is drawn crisp, from its hinted or bitmap strokes:
  // smoothing washes such thin strokes out to a pale tint. Larger text keeps
  // its smoothing.
  if (std::abs(font->height) <= 16) f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

QImage LoadPicture(const std::string& resourcePath, QSize cover) {
  QFile file(QString::fromStdString(resourcePath));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  auto picture = DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size()), cover.width(), cover.height());
  if (!picture) return {};
  QImage image(picture->pixels.data(), picture->width, picture->height, picture->width * 4,
               QImage::Format_RGB32);
  return image.copy();  // detach from the decoder's buffer
}

Qt::TransformationMode ScalingMode() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr && screen->depth() > 16 ? Qt::SmoothTransformation
                                                   : Qt::FastTransformation;
}

namespace {

int Flags(HAlign h, VAlign v) {
  int flags = Qt::TextSingleLine;
  flags |= h == HAlign::Left ? Qt::AlignLeft : h == HAlign::Centre ? Qt::AlignHCenter : Qt::AlignRight;
  flags |= v == VAlign::Top ? Qt::AlignTop : v == VAlign::Centre ? Qt::AlignVCenter : Qt::AlignBottom;
  return flags;
}

}  // namespace

// ---- LabelWidget ----

LabelWidget::LabelWidget(QWidget* parent, const ControlDef& def)
    : QWidget(parent), def_(def), font_(ToQFont(def.font)) {
  points_ = def.font ? static_cast<int>(std::lround(std::abs(def.font->height) * 72.0 / 96.0))
                     : font_.pointSize();
  if (def.cursor == Cursor::PointingHand) setCursor(Qt::PointingHandCursor);
  SetCaption(def.text);
}

void LabelWidget::SetCaption(const GbText& caption) {
  caption_ = caption;
  text_ = ToQString(caption);
}

void LabelWidget::SetPointSize(int points) {
  points_ = points;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  font_.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi / 72.0))));
}

void LabelWidget::paintEvent(QPaintEvent*) {
  if (text_.isEmpty()) return;
  QPainter p(this);
  p.setFont(font_);
  const int flags = Flags(def_.hAlign, def_.vAlign) | Qt::TextShowMnemonic;
  const QRect r = rect();
  auto draw = [&](QColor colour, int dx, int dy) {
    p.setPen(colour);
    p.drawText(r.translated(dx, dy), flags, text_);
  };
  const QColor colour = ToQColor(def_.colour);
  switch (def_.effect) {
    case TextEffect::None:
      draw(colour, 0, 0);
      break;
    case TextEffect::Raised:
      draw(Qt::white, 1, 1);
      draw(colour, 0, 0);
      break;
    case TextEffect::Sunken:
      draw(Qt::white, 0, 0);
      draw(colour, 1, 1);
      break;
    case TextEffect::Shadow:
      draw(Qt::black, 2, 2);
      draw(colour, 0, 0);
      break;
  }
}

void LabelWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) RaiseControlEvent(this, Event::LeftPressed, MouseArguments(e->position().toPoint(), e->modifiers()));
}

// The second press of a double click raises nothing.
void LabelWidget::mouseDoubleClickEvent(QMouseEvent*) {}

// ---- PictureWidget ----

PictureWidget::PictureWidget(QWidget* parent, const ControlDef& def) : QWidget(parent) {
  const QImage image = LoadPicture(def.picture);
  if (!image.isNull() && def.width > 0 && def.height > 0)
    scaled_ = QPixmap::fromImage(image.scaled(def.width, def.height, Qt::IgnoreAspectRatio, ScalingMode()));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Button));
  if (!scaled_.isNull()) p.drawPixmap(0, 0, scaled_);
}

void PictureWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) RaiseControlEvent(this, Event::LeftPressed, MouseArguments(e->position().toPoint(), e->modifiers()));
}

// ---- HyperlinkWidget ----

HyperlinkWidget::HyperlinkWidget(QWidget* parent, const ControlDef& def)
    : QWidget(parent), def_(def), caption_(ToQString(def.text)) {
  setCursor(Qt::PointingHandCursor);
  setFont(ToQFont(def.font));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_Hover);
}

QColor HyperlinkWidget::CurrentColour() const {
  if (hovered_) return ToQColor(def_.overColour);
  return ToQColor(opened_ ? def_.openedColour : def_.colour);
}

void HyperlinkWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Button));
  p.setPen(CurrentColour());
  const QString text = caption_.isEmpty() ? QString::fromStdString(def_.address) : caption_;
  p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
}

void HyperlinkWidget::enterEvent(QEnterEvent*) {
  hovered_ = true;
  update();
}

void HyperlinkWidget::leaveEvent(QEvent*) {
  hovered_ = false;
  update();
}

void HyperlinkWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || def_.address.empty()) return;
  opened_ = shell::OpenAddress(def_.address);
  repaint();
}

void HyperlinkWidget::mouseDoubleClickEvent(QMouseEvent*) {}

// ---- EditWidget ----

EditWidget::EditWidget(QWidget* parent, const ControlDef& def) : QPlainTextEdit(parent) {
  setFont(ToQFont(def.font));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(def.scrollBars == ScrollBars::Vertical ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QPalette pal = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, Qt::white);
    pal.setColor(group, QPalette::Text, Qt::black);
  }
  // The selection is not shown while the box has no focus.
  pal.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  SetContent(def.text);
}

GbText EditWidget::Content() const {
  QString text = toPlainText();
  text.replace(QChar('\n'), QStringLiteral("\r\n"));
  return FromQString(text);
}

void EditWidget::SetContent(const GbText& content) {
  QString text = ToQString(content);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setPlainText(text);
  moveCursor(QTextCursor::Start);
  verticalScrollBar()->setValue(0);
}

// ---- ClientArea ----

ClientArea::ClientArea(QWidget* parent, const WindowDef& def, QSize size) : QWidget(parent) {
  resize(size);
  if (!def.background.empty()) {
    const QImage image = LoadPicture(def.background, size);
    if (!image.isNull())
      background_ = QPixmap::fromImage(
          image.scaled(size, Qt::IgnoreAspectRatio, ScalingMode()));
  }
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientArea::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  if (background_.isNull()) {
    p.fillRect(rect(), palette().color(QPalette::Button));
    return;
  }
  p.drawPixmap(e->rect(), background_, e->rect());
}

}  // namespace frame
