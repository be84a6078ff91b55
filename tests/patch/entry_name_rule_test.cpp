// The walk's last line of defence: names the reader passes on but that would write outside the
// game directory, or into a stream or drive, never become targets.
#include <gtest/gtest.h>

#include "patch/entry_walk.h"

namespace patchtest {
namespace {

struct NameCase {
  const char16_t* name;
  bool accepted;
};

TEST(EntryNameRule, RefusesNamesThatLeaveTheGameDirectory) {
  const NameCase cases[] = {
      {u"contents/bns/CookedPC/00002728.upk", true},
      {u"contents\\data\\xml.dat", true},
      {u"contents/..data/x", true},  // a name that merely starts with dots stays inside
      {u"contents/./x", true},
      {u"", false},
      {u"../x", false},
      {u"..\\x", false},
      {u"contents/../../x", false},
      {u"contents\\..\\..\\x", false},
      {u"contents/..", false},
      {u"..", false},
      {u"contents/.. /x", false},  // Windows trims the space and climbs
      {u"contents/.../x", false},
      {u"/etc/x", false},
      {u"\\x", false},
      {u"C:x", false},
      {u"contents/x.upk:stream", false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(patch::IsNameInsideGameDirectory(c.name), c.accepted) << testing::PrintToString(std::u16string(c.name));
  }
}

}  // namespace
}  // namespace patchtest
