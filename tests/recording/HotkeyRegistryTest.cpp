#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "recording/HotkeyRegistry.h"

namespace ostrel::recording {
namespace {

// A system that refuses the keys in `held` and remembers what stays grabbed.
struct FakeGrabber : KeyGrabber {
  std::set<int32_t> held;
  std::map<int32_t, int32_t> grabbedKeyById;
  bool grab(int32_t identifier, int32_t, int32_t keyCode) override {
    if (held.count(keyCode)) return false;
    grabbedKeyById[identifier] = keyCode;
    return true;
  }
  void release(int32_t identifier) override { grabbedKeyById.erase(identifier); }
};

struct Step {
  int32_t modifiers;
  int32_t keyCode;
  char routine;  // which routine the registration names
  int32_t expectedIdentifier;
};

struct Case {
  const char* name;
  std::set<int32_t> heldElsewhere;
  std::vector<Step> steps;
  std::map<int32_t, int32_t> grabbedAfter;  // identifier -> key code
  std::string firedByEachIdentifier;        // routine of identifier 1, 2, ...
};

TEST(HotkeyRegistry, RegistrationsAsTheSystemSeesThem) {
  const std::vector<Case> cases = {
      {"identifiers count successes", {}, {{2, 120, 's', 1}, {0, 121, 'p', 2}}, {{1, 120}, {2, 121}}, "sp"},
      {"a refusal uses no identifier", {121}, {{0, 121, 'p', 0}, {2, 120, 's', 1}}, {{1, 120}}, "s"},
      // The second group goes first, so the first group's key takes it over.
      {"same key in both groups", {}, {{0, 120, 'p', 1}, {2, 120, 's', 2}}, {{2, 120}}, "ps"},
      {"re-set on another key keeps the old one",
       {},
       {{0, 120, 's', 1}, {0, 122, 's', 2}},
       {{1, 120}, {2, 122}},
       "ss"},
      {"re-set on the same key moves it", {}, {{0, 120, 's', 1}, {4, 120, 's', 2}}, {{2, 120}}, "ss"},
      {"an empty key box grabs nothing", {}, {{0, 0, 's', 0}, {2, 0, 'p', 0}}, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGrabber grabber;
    grabber.held = c.heldElsewhere;
    HotkeyRegistry registry(grabber);
    std::string fired;
    for (const Step& step : c.steps) {
      const char routine = step.routine;
      EXPECT_EQ(registry.RegisterGlobalHotkey(step.modifiers, step.keyCode,
                                              [&fired, routine] { fired += routine; }),
                step.expectedIdentifier);
    }
    EXPECT_EQ(grabber.grabbedKeyById, c.grabbedAfter);
    ASSERT_EQ(registry.hotkeyCount(), static_cast<int32_t>(registry.hotkeyRegistrations().size()));
    for (size_t i = 0; i < registry.hotkeyRegistrations().size(); ++i)
      EXPECT_EQ(registry.hotkeyRegistrations()[i].identifier, static_cast<int32_t>(i + 1));
    for (int32_t id = 1; id <= registry.hotkeyCount(); ++id) registry.Deliver(id);
    EXPECT_EQ(fired, c.firedByEachIdentifier);
  }
}

TEST(HotkeyRegistry, RefusalAfterReleaseLeavesTheKeyUnheldAndUnknownIdentifiersAreIgnored) {
  FakeGrabber grabber;
  HotkeyRegistry registry(grabber);
  int runs = 0;
  ASSERT_EQ(registry.RegisterGlobalHotkey(0, 120, [&runs] { ++runs; }), 1);
  grabber.held.insert(120);  // another program takes F9 meanwhile
  EXPECT_EQ(registry.RegisterGlobalHotkey(2, 120, [&runs] { ++runs; }), 0);
  EXPECT_TRUE(grabber.grabbedKeyById.empty());
  EXPECT_EQ(registry.hotkeyCount(), 1);
  for (int32_t id : {0, -1, 2, 1000}) registry.Deliver(id);
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace ostrel::recording
