#include <cstdlib>

#include "dice/dice.h"

namespace dice {

std::int32_t diceKind = None;

namespace {
constexpr std::string_view kSeparator = "\r\n";

// Copies `text` into a new face, reporting a failed allocation with its size.
frame::GbText MakeFace(std::string_view text) {
  try {
    return frame::GbText(text);
  } catch (const std::bad_alloc&) {
    throw frame::AllocationFailure(text.size() + 1);
  }
}
}  // namespace

const frame::GbText& FaceList::Face(std::int32_t number) const {
  if (number < 1) frame::FatalError(frame::Gb("数组成员引用下标必须大于等于1"), 4);
  if (number > Count()) frame::FatalError(frame::Gb("数组成员引用下标超出定义范围"), 1);
  return faces_[static_cast<std::size_t>(number - 1)];
}

FaceList SplitFaces(std::string_view text) {
  std::vector<frame::GbText> faces;
  const std::size_t n = text.size();
  std::size_t start = 0;
  std::size_t pos = 0;
  auto push = [&](std::string_view face) {
    try {
      faces.push_back(MakeFace(face));
    } catch (const frame::AllocationFailure&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw frame::AllocationFailure((faces.size() + 1) * sizeof(frame::GbText));
    }
  };
  while (n - pos >= kSeparator.size()) {
    if (text.substr(pos, kSeparator.size()) == kSeparator) {
      push(text.substr(start, pos - start));
      pos += kSeparator.size();
      start = pos;
    } else if (static_cast<unsigned char>(text[pos]) >= 0x80) {
      pos += 2;  // a two-byte character: never split inside it
    } else {
      ++pos;
    }
  }
  if (start < n) push(text.substr(start));
  return FaceList(std::move(faces));
}

FaceList ReadFaceList(frame::Window& window, std::string_view control) {
  const frame::GbText content = window[control].Text();
  return SplitFaces(content);
}

std::int32_t DrawNumber(std::int32_t lower, std::int32_t upper) {
  std::int64_t a = lower < 0 ? 0 : lower;
  std::int64_t b = upper < 0 ? 0 : upper;
  if (a > b) std::swap(a, b);
  if (a == b) return static_cast<std::int32_t>(a);
  std::int64_t width = b - a;
  if (width > 2147483646) width = 2147483646;
  std::int64_t r = std::rand();
  if (r < 0) r = -r;
  return static_cast<std::int32_t>(a + r % (width + 1));
}

std::uint32_t SeedGenerator() {
  static std::int32_t counter = 0;
  const std::uint32_t seed = frame::TickCount() + static_cast<std::uint32_t>(counter);
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + (seed & 0xFF) + 100);
  std::srand(seed);
  return seed;
}

const std::vector<StoredList>& StoredLists() {
  static const std::vector<StoredList> lists = {
      {"编辑框1", {"舔", "揉", "亲吻", "捏", "咬", "发痒", "打", "吹", "吸"}},
      {"编辑框2", {"嘴唇", "耳朵", "颈部", "脚趾", "咪咪", "大腿", "屁屁", "肚脐", "任人宰割"}},
      {"编辑框4",
       {"捏肩膀", "揉脚丫", "呆着", "做饭", "擦地板", "买菜", "洗碗", "洗衣服", "男方听女方指挥",
        "女方听男方指挥"}},
      {"编辑框3",
       {"女决定", "男决定", "吃西餐", "呆在家", "逛逛街", "看电影", "吃中餐", "逛公园", "游乐场",
        "动物园"}},
      {"编辑框5",
       {"听男方的", "听女方的", "再来一次", "男方道歉", "女方道歉", "男方给女方买礼物并道歉",
        "女方给男方买礼物并道歉"}},
  };
  return lists;
}

frame::GbText StoredListText(std::string_view control) {
  for (const StoredList& list : StoredLists()) {
    if (list.control != control) continue;
    std::string joined;
    for (std::size_t i = 0; i < list.faces.size(); ++i) {
      if (i > 0) joined += kSeparator;
      joined += list.faces[i];
    }
    return frame::Gb(joined);
  }
  return {};
}

}  // namespace dice
