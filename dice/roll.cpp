#include "dice/dice.h"

namespace dice {

namespace {
// A one-die kind: its face-list box and its result label.
void RollOne(frame::Window& w, std::string_view box, std::string_view label) {
  const FaceList faces = ReadFaceList(w, box);
  const std::int32_t i = DrawNumber(1, faces.Count());
  w[label].SetText(faces.Face(i));
}
}  // namespace

void RollDice(frame::Window& w) {
  w["透明显示1"].SetText({});
  w["透明显示2"].SetText({});
  w["透明显示3"].SetText({});
  if (diceKind == None) {
    frame::ShowMessageBox(frame::Gb("请选择骰子的种类"), frame::kOk, frame::Gb("请选择"));
    return;
  }
  if (diceKind == Intimate) {
    const FaceList actions = ReadFaceList(w, "编辑框1");
    const FaceList parts = ReadFaceList(w, "编辑框2");
    const std::int32_t i = DrawNumber(1, actions.Count());
    const std::int32_t j = DrawNumber(1, parts.Count());
    w["透明显示1"].SetText(actions.Face(i));
    w["透明显示2"].SetText(parts.Face(j));
  }
  if (diceKind == Chores) RollOne(w, "编辑框4", "透明显示3");
  if (diceKind == Outing) RollOne(w, "编辑框3", "透明显示3");
  if (diceKind == Quarrel) RollOne(w, "编辑框5", "透明显示3");
}

}  // namespace dice
