#include <gtest/gtest.h>

#include "dice/dice.h"

using frame::Gb;

namespace {

std::vector<std::string> Utf8Faces(const dice::FaceList& list) {
  std::vector<std::string> out;
  for (const auto& f : list.Faces()) out.push_back(frame::Utf8(f));
  return out;
}

TEST(SplitFaces, StoredListsGiveTheirFacesInOrder) {
  const std::pair<const char*, int> expected[] = {
      {"编辑框1", 9}, {"编辑框2", 9}, {"编辑框4", 10}, {"编辑框3", 10}, {"编辑框5", 7}};
  for (const auto& [box, count] : expected) {
    const dice::FaceList list = dice::SplitFaces(dice::StoredListText(box));
    EXPECT_EQ(list.Count(), count) << box;
    std::vector<std::string> stored;
    for (const dice::StoredList& l : dice::StoredLists())
      if (l.control == box) stored.assign(l.faces.begin(), l.faces.end());
    EXPECT_EQ(Utf8Faces(list), stored) << box;
  }
}

}  // namespace
