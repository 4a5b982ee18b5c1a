#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>

#include "recording/SoundRecorder.h"
#include "recording/WaveHeader.h"
#include "support/FakeAudioInput.h"
#include "support/ScratchFolder.h"

namespace ostrel::recording {
namespace {

using testing::FakeAudioInput;
using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes fromHex(std::string_view hex) {
  Bytes bytes;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

Bytes dataOf(const Bytes& wave) {
  return wave.size() < WAVE_HEADER_SIZE ? Bytes{} : Bytes(wave.begin() + WAVE_HEADER_SIZE, wave.end());
}

struct Fixture {
  std::unique_ptr<FakeAudioInput> owned = std::make_unique<FakeAudioInput>();
  FakeAudioInput* fake = owned.get();  // the recorder owns it
  SoundRecorder recorder{std::move(owned)};
  testing::ScratchFolder folder;
  std::filesystem::path music = folder / "Music";
};

TEST(SoundRecorderTest, SetFormatAcceptsOnlyTheListedValuesAndKeepsTheFormatOtherwise) {
  struct Case {
    int channels, rate, bits;
    bool accepted;
  };
  const Case cases[] = {
      {2, 44100, 8, true},   {1, 11025, 16, true},  {2, 22050, 16, true}, {1, 8000, 8, true},
      {1, 12000, 16, false}, {1, 8000, 24, false},  {3, 8000, 16, false}, {0, 8000, 16, false},
      {1, 0, 16, false},     {2, 48000, 16, false}, {1, 8000, 0, false},  {-1, -8000, -16, false},
  };
  SoundRecorder recorder(nullptr);
  EXPECT_EQ(recorder.format(), (platform::AudioFormat{1, 8000, 16}));
  for (const Case& c : cases) {
    const platform::AudioFormat before = recorder.format();
    EXPECT_EQ(recorder.SetFormat(c.channels, c.rate, c.bits), c.accepted)
        << c.channels << " " << c.rate << " " << c.bits;
    const platform::AudioFormat asked{c.channels, c.rate, c.bits};
    EXPECT_EQ(recorder.format(), c.accepted ? asked : before);
  }
}

TEST(SoundRecorderTest, SavedFileHasTheExactHeaderAndWholeFramesOnly) {
  struct Case {
    int channels;
    std::size_t heardBytes;
    const char* header;  // field by field, little-endian
    std::size_t keptBytes;
  };
  const Case cases[] = {
      {1, 7,
       "52494646 2a000000 57415645 666d7420 10000000 0100 0100 401f0000 803e0000 0200 1000 64617461 06000000",
       6},
      {2, 11,
       "52494646 2c000000 57415645 666d7420 10000000 0100 0200 401f0000 007d0000 0400 1000 64617461 08000000",
       8},
  };
  for (const Case& c : cases) {
    Fixture f;
    ASSERT_TRUE(f.recorder.SetFormat(c.channels, 8000, 16));
    ASSERT_TRUE(f.recorder.Start());
    const Bytes heard = testing::countingPattern(0, c.heardBytes);
    f.fake->hear(heard);
    EXPECT_TRUE(f.recorder.Stop());
    ASSERT_TRUE(f.recorder.SaveToFile(f.music, true));
    Bytes expected = fromHex(c.header);
    expected.insert(expected.end(), heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(c.keptBytes));
    EXPECT_EQ(readFile(f.music), expected) << c.channels << " channels";
  }
}

TEST(SoundRecorderTest, StopThenSaveKeepsEveryDeliveredByteOnceAndInOrder) {
  Fixture f;
  // Pieces of 6 bytes cross the 4096-byte chunk boundaries at ever different places.
  f.fake->setFreeRunning(6);
  ASSERT_TRUE(f.recorder.Start());
  const auto waitFor = [&](uint64_t bytes) {
    while (f.fake->patternBytes() < bytes) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  waitFor(3 * SoundRecorder::CHUNK_BYTES);
  EXPECT_TRUE(f.recorder.Pause());
  EXPECT_TRUE(f.recorder.IsRecording());
  EXPECT_TRUE(f.recorder.Resume());
  waitFor(f.fake->patternBytes() + 2 * SoundRecorder::CHUNK_BYTES);
  // Stop races the capture thread; whatever it delivered must be there.
  EXPECT_TRUE(f.recorder.Stop());
  EXPECT_FALSE(f.recorder.IsRecording());
  const uint64_t delivered = f.fake->patternBytes();
  ASSERT_TRUE(f.recorder.SaveToFile(f.music, true));
  const Bytes data = dataOf(readFile(f.music));
  EXPECT_EQ(data.size(), delivered);
  EXPECT_TRUE(data == testing::countingPattern(0, delivered)) << "lost, doubled or reordered sound";
}

TEST(SoundRecorderTest, PausedAndStoppedTimeAddsNoSound) {
  Fixture f;
  ASSERT_TRUE(f.recorder.Start());
  f.fake->hear(Bytes{1, 1});
  EXPECT_TRUE(f.recorder.Pause());
  f.fake->hear(Bytes{2, 2});
  EXPECT_TRUE(f.recorder.IsRecording());
  EXPECT_TRUE(f.recorder.Resume());
  f.fake->hear(Bytes{3, 3});
  EXPECT_TRUE(f.recorder.Stop());
  f.fake->hear(Bytes{4, 4});
  // Resume after Stop must not bring the device back to life.
  EXPECT_TRUE(f.recorder.Resume());
  f.fake->hear(Bytes{5, 5});
  ASSERT_TRUE(f.recorder.SaveToFile(f.music, true));
  EXPECT_EQ(dataOf(readFile(f.music)), (Bytes{1, 1, 3, 3}));
}

TEST(SoundRecorderTest, StartDiscardsEarlierSoundAndUsesTheFormatOfItsOwnTime) {
  Fixture f;
  ASSERT_TRUE(f.recorder.Start());
  f.fake->hear(Bytes{9, 9, 9, 9});
  ASSERT_TRUE(f.recorder.SetFormat(2, 22050, 8));
  ASSERT_TRUE(f.recorder.Start());
  EXPECT_EQ(f.fake->calls().format, (platform::AudioFormat{2, 22050, 8}));
  f.fake->hear(Bytes{1, 2});
  // A format chosen during the capture describes the next one, not this one.
  ASSERT_TRUE(f.recorder.SetFormat(1, 8000, 16));
  ASSERT_TRUE(f.recorder.SaveToFile(f.music, true));
  const Bytes wave = readFile(f.music);
  EXPECT_EQ(dataOf(wave), (Bytes{1, 2}));
  ASSERT_EQ(wave.size(), WAVE_HEADER_SIZE + 2);
  EXPECT_EQ(wave[22], 2);  // channels
  EXPECT_EQ(wave[34], 8);  // bits per sample
  EXPECT_FALSE(f.recorder.IsRecording());
}

TEST(SoundRecorderTest, WithoutAnInputStartFailsAndNothingIsRecorded) {
  Fixture f;
  f.fake->setOpenFails(true);
  EXPECT_FALSE(f.recorder.Start());
  EXPECT_FALSE(f.recorder.IsRecording());
  EXPECT_EQ(f.fake->calls().start, 0);
  EXPECT_TRUE(f.recorder.Pause());
  EXPECT_TRUE(f.recorder.Resume());
  EXPECT_FALSE(f.recorder.Stop());

  SoundRecorder none(nullptr);
  EXPECT_FALSE(none.Start());
  EXPECT_FALSE(none.IsRecording());
}

TEST(SoundRecorderTest, SaveKeepsAnExistingFileUnlessToldToReplaceAndLeavesNothingWhenItFails) {
  Fixture f;
  ASSERT_TRUE(f.recorder.Start());
  f.fake->hear(Bytes{1, 2});
  { std::ofstream(f.music) << "old"; }
  EXPECT_FALSE(f.recorder.SaveToFile(f.music, false));
  EXPECT_EQ(readFile(f.music), (Bytes{'o', 'l', 'd'}));
  // Refusing to replace touches nothing, the capture included.
  EXPECT_TRUE(f.recorder.IsRecording());
  EXPECT_EQ(f.fake->calls().finish, 0);

  const auto unwritable = f.folder / "missing-folder" / "Music";
  EXPECT_FALSE(f.recorder.SaveToFile(unwritable, true));
  EXPECT_FALSE(std::filesystem::exists(unwritable));
  EXPECT_TRUE(f.recorder.SaveToFile(f.music, true));
  EXPECT_EQ(dataOf(readFile(f.music)), (Bytes{1, 2}));
}

}  // namespace
}  // namespace ostrel::recording
