// The dice: kinds, face lists, the random draw and the roll.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/frame.h"

namespace dice {

enum DiceKind : std::int32_t { None = 0, Intimate = 1, Chores = 2, Outing = 3, Quarrel = 4 };

// The one piece of game state: the kind chosen on the main window.
extern std::int32_t diceKind;

// The faces of one die, numbered from 1 in stored order.
class FaceList {
 public:
  FaceList() = default;
  explicit FaceList(std::vector<frame::GbText> faces) : faces_(std::move(faces)) {}
  std::int32_t Count() const { return static_cast<std::int32_t>(faces_.size()); }
  // Face `number`; a number outside 1..Count() is a fatal error.
  const frame::GbText& Face(std::int32_t number) const;
  const std::vector<frame::GbText>& Faces() const { return faces_; }

 private:
  std::vector<frame::GbText> faces_;
};

// Splits a code-page-936 text at CR LF, never inside a two-byte character.
// A trailing CR LF gives no empty last face; CR LF twice gives an empty face.
FaceList SplitFaces(std::string_view text);

// The current content of a face-list box of `window`, split into faces.
FaceList ReadFaceList(frame::Window& window, std::string_view control);

// A number from `lower` to `upper` from the C library's generator (bounds
// below 0 count as 0, swapped bounds are put in order, equal bounds draw
// nothing from the generator).
std::int32_t DrawNumber(std::int32_t lower, std::int32_t upper);

// Seeds the generator from the tick count plus a counter that moves on with
// every seeding, so two seedings within one tick differ. Returns the seed.
std::uint32_t SeedGenerator();

// Empties the result labels of the main window, then draws a face for the
// chosen kind and shows it (two faces for the intimate dice).
void RollDice(frame::Window& mainWindow);

// The stored face lists, in UTF-8, by the name of the box that holds them.
struct StoredList {
  std::string_view control;
  std::vector<std::string_view> faces;
};
const std::vector<StoredList>& StoredLists();

// A stored list as the box holds it: code page 936, faces joined by CR LF.
frame::GbText StoredListText(std::string_view control);

}  // namespace dice
