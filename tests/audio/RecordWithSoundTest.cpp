#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/PrivateSoundServer.h"
#include "support/CommandOutput.h"
#include "support/OstrelProcess.h"
#include "support/ScratchFolder.h"
#include "support/XvfbServer.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Members of the archive, then the Music member's RIFF tag, format, frame
// count, whether its data is whole frames and whether it carries sound.
std::string describeSound(const fs::path& archive) {
  const std::string command =
      "/usr/bin/python3 -c \"import sys, zipfile, wave, io, struct\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "names = [i.filename.encode('cp437').decode('gbk') for i in z.infolist()]\n"
      "music = z.read('Music')\n"
      "w = wave.open(io.BytesIO(music))\n"
      "n = w.getnframes()\n"
      "data = w.readframes(n)\n"
      "samples = struct.unpack('<%dh' % (len(data) // 2), data)\n"
      "loud = max(abs(s) for s in samples) > 3000\n"
      "print(','.join(names), music[:4].decode(), w.getnchannels(), w.getframerate(), 8 * w.getsampwidth(),\n"
      "      'about-2s' if 14400 <= n <= 17600 else n, len(data) % w.getsampwidth() == 0, loud)\n\" '" +
      archive.string() + "'";
  return testing::commandOutput(command);
}

TEST(RecordWithSound, TwoSecondsWithSoundCarryAMusicMember) {
  testing::PrivateSoundServer sound;
  ASSERT_TRUE(sound.ok()) << sound.error();
  ASSERT_TRUE(sound.playTone(440));
  // A fresh null sink takes a moment before its monitor carries the tone.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  test::XvfbServer screen({320, 240});
  ASSERT_TRUE(screen.running()) << screen.error();

  testing::ScratchFolder folder;
  ASSERT_EQ(testing::runOstrel(screen.display(), folder / "cache",
                               {"record", "--sound", "--out", (folder / "clip.ORec").string(), "--seconds",
                                "2", "--fps", "5"}),
            0);
  EXPECT_EQ(describeSound(folder / "clip.ORec"),
            "录制文件Temp,Config,Music RIFF 1 8000 16 about-2s True True\n");
}

}  // namespace
}  // namespace ostrel
