#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11HotkeyGrabber.h"
#include "support/XvfbServer.h"

namespace ostrel::platform {
namespace {

constexpr int32_t kAlt = 1, kCtrl = 2, kShift = 4;
constexpr int32_t kVirtualR = 82;

TEST(VirtualKeys, MapToKeysymsAndBack) {
  struct Case {
    int32_t virtualKey;
    uint32_t keysym;
  };
  for (const Case& c : std::vector<Case>{{65, 'a'},
                                         {90, 'z'},
                                         {48, '0'},
                                         {112, 0xffbe},
                                         {120, 0xffc6},
                                         {135, 0xffd5},
                                         {32, ' '},
                                         {13, 0xff0d},
                                         {96, 0xffb0},
                                         {46, 0xffff},
                                         {189, '-'}}) {
    SCOPED_TRACE(c.virtualKey);
    EXPECT_EQ(VirtualKeyToKeysym(c.virtualKey), c.keysym);
    EXPECT_EQ(KeysymToVirtualKey(c.keysym), c.virtualKey);
  }
  EXPECT_EQ(KeysymToVirtualKey('A'), 65);  // Shift+A reports the capital letter
  EXPECT_EQ(KeysymToVirtualKey(0xffe2), 16);
  EXPECT_EQ(KeysymToVirtualKey(0xffe3), 17);
  EXPECT_EQ(KeysymToVirtualKey(0xffe9), 18);
  for (int32_t unknown : {0, -5, 7, 256, 100000}) EXPECT_EQ(VirtualKeyToKeysym(unknown), 0u) << unknown;
  EXPECT_EQ(KeysymToVirtualKey(0x1008ff11), 0);  // a media key
}

// Runs xdotool against the display and waits for it.
bool xdotool(const std::string& display, const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string program = "xdotool";
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    setenv("DISPLAY", display.c_str(), 1);
    execvp("xdotool", argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<int32_t> waitForPresses(X11HotkeyGrabber& grabber, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<int32_t> pressed;
  while (pressed.empty() && std::chrono::steady_clock::now() < deadline) {
    pollfd fd{grabber.fileDescriptor(), POLLIN, 0};
    poll(&fd, 1, 100);
    pressed = grabber.takePressed();
  }
  return pressed;
}

TEST(X11HotkeyGrabber, DeliversItsKeysWhateverTheLocksAndRefusesKeysHeldElsewhere) {
  test::XvfbServer server;
  ASSERT_TRUE(server.running()) << server.error();
  std::string error;
  auto ours = X11HotkeyGrabber::open(server.display(), &error);
  auto theirs = X11HotkeyGrabber::open(server.display(), &error);
  ASSERT_TRUE(ours && theirs) << error;

  ASSERT_TRUE(ours->grab(1, kCtrl | kAlt, kVirtualR));
  EXPECT_FALSE(theirs->grab(1, kCtrl | kAlt, kVirtualR)) << "held by another client";
  EXPECT_TRUE(theirs->grab(2, kShift, kVirtualR)) << "another combination of the same key is free";
  EXPECT_FALSE(ours->grab(3, 0, 0)) << "key code 0 is no key";
  EXPECT_FALSE(ours->grab(4, 0, 7)) << "no such virtual key";

  ASSERT_TRUE(xdotool(server.display(), {"key", "ctrl+alt+r"}));
  EXPECT_EQ(waitForPresses(*ours), std::vector<int32_t>{1});

  ASSERT_TRUE(xdotool(server.display(), {"key", "Num_Lock"}));
  ASSERT_TRUE(xdotool(server.display(), {"key", "Caps_Lock"}));
  ASSERT_TRUE(xdotool(server.display(), {"key", "ctrl+alt+r"}));
  EXPECT_EQ(waitForPresses(*ours), std::vector<int32_t>{1}) << "with Num Lock and Caps Lock on";

  // Released: the other client may have it now, and it no longer reaches us.
  ours->release(1);
  EXPECT_TRUE(theirs->grab(5, kCtrl | kAlt, kVirtualR));
  ASSERT_TRUE(xdotool(server.display(), {"key", "ctrl+alt+r"}));
  EXPECT_EQ(waitForPresses(*theirs), std::vector<int32_t>{5});
  EXPECT_TRUE(ours->takePressed().empty());
}

TEST(X11HotkeyGrabber, ALostServerIsNoCrash) {
  auto server = std::make_unique<test::XvfbServer>();
  ASSERT_TRUE(server->running()) << server->error();
  auto grabber = X11HotkeyGrabber::open(server->display());
  ASSERT_TRUE(grabber);
  ASSERT_TRUE(grabber->grab(1, kCtrl, 120));
  server.reset();
  EXPECT_FALSE(grabber->grab(2, kCtrl, 121));
  EXPECT_TRUE(grabber->takePressed().empty());
  EXPECT_TRUE(grabber->broken());
  grabber->release(1);
}

}  // namespace
}  // namespace ostrel::platform
