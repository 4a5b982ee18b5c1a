#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "platform/text/GbkText.h"
#include "platform/zip/ZipReader.h"
#include "platform/zip/ZipWriter.h"
#include "support/CommandOutput.h"
#include "support/ScratchFolder.h"

namespace ostrel::platform {
namespace {

namespace fs = std::filesystem;
using testing::readFileBytes;
using testing::ScratchFolder;
using testing::writeFileBytes;

uint32_t u16(const std::string& b, std::size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}
uint32_t u32(const std::string& b, std::size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

// Something like a recording stream: mostly deflated picture data.
std::string pictureLikeBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out;
  while (out.size() < size) out.push_back(static_cast<char>(random() % 3 == 0 ? 0 : random()));
  return out;
}

uint32_t zlibCrc(const std::string& b) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size())));
}

std::string inflateRaw(const std::string& deflated, std::size_t expected) {
  std::string out(expected, '\0');
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  z.avail_in = static_cast<uInt>(deflated.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return status == Z_STREAM_END && z.avail_out == 0 ? out : std::string("inflate failed");
}

std::string runCommand(const std::string& command, int& status) {
  return testing::commandOutput(command, &status);
}

class ZipArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    data = pictureLikeBytes(300000, 1);
    config = utf8ToGbk("[视频设置]\r\n周期=125\r\n");
    writeFileBytes(folder / "data", data);
    writeFileBytes(folder / "config", config);
    // Fixed times so the header fields can be checked.
    const timespec times[2] = {{1700000000, 0}, {1700000100, 0}};  // accessed, modified
    for (const char* name : {"data", "config"}) utimensat(AT_FDCWD, (folder / name).c_str(), times, 0);
    members = {{"录制文件Temp", folder / "data"}, {"Config", folder / "config"}};
    archive = folder / "录像1.ORec";
  }

  ScratchFolder folder;
  std::string data, config;
  std::vector<ZipMemberSource> members;
  fs::path archive;
};

TEST_F(ZipArchive, HeadersAreExactlyTheRecordingFileLayout) {
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  ASSERT_TRUE(
      writeZipArchive(archive, members, [&](uint64_t d, uint64_t t) { progress.emplace_back(d, t); }).ok);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(),
            std::make_pair(uint64_t{data.size() + config.size()}, uint64_t{data.size() + config.size()}));

  const std::string zip = readFileBytes(archive);
  const std::string names[] = {utf8ToGbk("录制文件Temp"), "Config"};
  const std::string* contents[] = {&data, &config};
  struct tm local {};
  const time_t modified = 1700000100;
  localtime_r(&modified, &local);
  const uint32_t dosTime = local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2;
  const uint32_t dosDate = (local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday;

  std::size_t at = 0;
  std::vector<std::size_t> localOffsets;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    localOffsets.push_back(at);
    EXPECT_EQ(u32(zip, at), 0x04034B50u);
    EXPECT_EQ(u16(zip, at + 4), 20u);  // version needed
    EXPECT_EQ(u16(zip, at + 6), 0u);   // flag: no data descriptor, no UTF-8 names
    EXPECT_EQ(u16(zip, at + 8), 8u);   // deflate
    EXPECT_EQ(u16(zip, at + 10), dosTime);
    EXPECT_EQ(u16(zip, at + 12), dosDate);
    EXPECT_EQ(u32(zip, at + 14), zlibCrc(*contents[i]));
    const uint32_t packed = u32(zip, at + 18);
    EXPECT_EQ(u32(zip, at + 22), contents[i]->size());
    EXPECT_EQ(u16(zip, at + 26), names[i].size());
    EXPECT_EQ(u16(zip, at + 28), 17u);
    EXPECT_EQ(zip.substr(at + 30, names[i].size()), names[i]);
    const std::size_t extra = at + 30 + names[i].size();
    EXPECT_EQ(zip.substr(extra, 5), std::string("UT\x0D\x00\x07", 5));
    EXPECT_EQ(u32(zip, extra + 5), 1700000100u);
    EXPECT_EQ(u32(zip, extra + 9), 1700000000u);
    EXPECT_NE(u32(zip, extra + 13), 0u);
    EXPECT_EQ(inflateRaw(zip.substr(extra + 17, packed), contents[i]->size()), *contents[i]);
    at = extra + 17 + packed;
  }
  const std::size_t centralStart = at;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(u32(zip, at), 0x02014B50u);
    EXPECT_EQ(u16(zip, at + 4), 0x0B17u);  // made by
    EXPECT_EQ(u16(zip, at + 6), 20u);
    EXPECT_EQ(u16(zip, at + 8), 0u);
    EXPECT_EQ(u16(zip, at + 10), 8u);
    EXPECT_EQ(u32(zip, at + 16), zlibCrc(*contents[i]));
    EXPECT_EQ(u32(zip, at + 24), contents[i]->size());
    EXPECT_EQ(u16(zip, at + 28), names[i].size());
    EXPECT_EQ(u16(zip, at + 30), 9u);
    EXPECT_EQ(u16(zip, at + 32), 0u);     // no comment
    EXPECT_EQ(u32(zip, at + 38), 0x20u);  // archive attribute
    EXPECT_EQ(u32(zip, at + 42), localOffsets[i]);
    EXPECT_EQ(zip.substr(at + 46, names[i].size()), names[i]);
    const std::size_t extra = at + 46 + names[i].size();
    EXPECT_EQ(zip.substr(extra, 5), std::string("UT\x05\x00\x07", 5));
    EXPECT_EQ(u32(zip, extra + 5), 1700000100u);
    at = extra + 9;
  }
  EXPECT_EQ(u32(zip, at), 0x06054B50u);
  EXPECT_EQ(u16(zip, at + 10), 2u);
  EXPECT_EQ(u32(zip, at + 12), at - centralStart);
  EXPECT_EQ(u32(zip, at + 16), centralStart);
  EXPECT_EQ(u16(zip, at + 20), 0u);
  EXPECT_EQ(zip.size(), at + 22);
}

TEST_F(ZipArchive, StandardToolsAcceptIt) {
  ASSERT_TRUE(writeZipArchive(archive, members).ok);
  int status = 0;
  const std::string tested = runCommand("unzip -t '" + archive.string() + "'", status);
  EXPECT_EQ(status, 0) << tested;
  EXPECT_NE(tested.find("No errors detected"), std::string::npos) << tested;
  const std::string info = runCommand("zipinfo -v '" + archive.string() + "'", status);
  EXPECT_EQ(status, 0) << info;
  EXPECT_NE(info.find("NTFS"), std::string::npos) << info;
  const std::string python = runCommand(
      "/usr/bin/python3 -c \"import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "for i in z.infolist():\n"
      "  name = i.filename.encode('cp437').decode('gbk')\n"
      "  print(name, i.compress_type, i.flag_bits, i.create_system, i.create_version, i.extract_version, "
      "i.external_attr, len(i.extra), i.file_size)\n\" '" +
          archive.string() + "'",
      status);
  EXPECT_EQ(status, 0) << python;
  EXPECT_EQ(python, "录制文件Temp 8 0 11 23 20 32 9 300000\nConfig 8 0 11 23 20 32 9 " +
                        std::to_string(config.size()) + "\n");
}

TEST_F(ZipArchive, UnpacksAndStreamsItsMembers) {
  ASSERT_TRUE(writeZipArchive(archive, members).ok);
  const fs::path target = folder / "play" / "a" / "录像1Temp";
  const UnzipResult result = unpackZipArchive(archive, target);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.written, (std::vector<fs::path>{target / "录制文件Temp", target / "Config"}));
  EXPECT_EQ(readFileBytes(target / "录制文件Temp"), data);
  EXPECT_EQ(readFileBytes(target / "Config"), config);

  std::string streamed;
  ASSERT_TRUE(readZipMember(archive, "录制文件Temp", [&](std::span<const uint8_t> b) {
    streamed.append(reinterpret_cast<const char*>(b.data()), b.size());
    return true;
  }));
  EXPECT_EQ(streamed, data);
  std::string error;
  EXPECT_FALSE(readZipMember(
      archive, "Music", [](auto) { return true; }, &error));
}

TEST(ZipMemberNames, OnlyNamesInsideTheFolderPass) {
  const std::pair<const char*, const char*> cases[] = {
      {"Config", "Config"},   {"a/b", "a/b"},      {"./a//b", "a/b"},  {"dir/", "dir"},   {"../x", nullptr},
      {"a/../../x", nullptr}, {"/etc/x", nullptr}, {"..\\x", nullptr}, {"a\\b", nullptr}, {"C:/x", nullptr},
      {"", nullptr},          {"./", nullptr},     {"..", nullptr},
  };
  for (const auto& [name, expected] : cases) {
    const auto path = safeMemberPath(name);
    if (expected) {
      EXPECT_EQ(path, fs::path(expected)) << name;
    } else {
      EXPECT_EQ(path, std::nullopt) << name;
    }
  }
}

// An archive with one member of the given name, made with minizip directly.
void writeArchiveNamed(const fs::path& path, const std::string& name, const std::string& content) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  zip_fileinfo info{};
  zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 0);
  zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
  zipCloseFileInZip(zip);
  zipClose(zip, nullptr);
}

TEST_F(ZipArchive, RefusesHostileAndDamagedArchives) {
  const fs::path target = folder / "out" / "inner";
  for (const std::string name :
       {"../escaped", "../../escaped", "/tmp/escaped", "..\\escaped", "ok/../../escaped"}) {
    writeArchiveNamed(folder / "slip.zip", name, "boo");
    const UnzipResult result = unpackZipArchive(folder / "slip.zip", target);
    EXPECT_FALSE(result.ok) << name;
    EXPECT_NE(result.error.find("leaves its folder"), std::string::npos) << result.error;
  }
  EXPECT_FALSE(fs::exists(folder / "out" / "escaped"));
  EXPECT_FALSE(fs::exists(folder / "escaped"));

  writeFileBytes(folder / "text.ORec", "just some text, no archive at all");
  const UnzipResult notZip = unpackZipArchive(folder / "text.ORec", target);
  EXPECT_FALSE(notZip.ok);
  EXPECT_NE(notZip.error.find("not a recording file"), std::string::npos) << notZip.error;
  EXPECT_FALSE(unpackZipArchive(folder / "missing.ORec", target).ok);

  ASSERT_TRUE(writeZipArchive(archive, members).ok);
  const std::string whole = readFileBytes(archive);
  for (const std::size_t length :
       {std::size_t{4}, std::size_t{100}, whole.size() / 2, whole.size() - 30, whole.size() - 1}) {
    writeFileBytes(folder / "cut.ORec", whole.substr(0, length));
    EXPECT_FALSE(unpackZipArchive(folder / "cut.ORec", folder / "cut").ok) << length;
  }

  // Headers that understate or overstate the size: the unpack stops at the
  // stated size instead of trusting the data, and keeps no part of the member.
  const std::size_t firstCentral = whole.find(std::string("PK\x01\x02", 4));
  ASSERT_NE(firstCentral, std::string::npos);
  for (const uint32_t claimed : {uint32_t{100}, static_cast<uint32_t>(data.size() + 100)}) {
    std::string lying = whole;
    for (const std::size_t sizeField : {std::size_t{22}, firstCentral + 24}) {
      for (int i = 0; i < 4; ++i) lying[sizeField + i] = static_cast<char>(claimed >> (8 * i));
    }
    writeFileBytes(folder / "lying.ORec", lying);
    const UnzipResult lied = unpackZipArchive(folder / "lying.ORec", folder / "lying");
    EXPECT_FALSE(lied.ok) << claimed;
    EXPECT_NE(lied.error.find("damaged"), std::string::npos) << lied.error;
    EXPECT_TRUE(lied.written.empty());
    EXPECT_FALSE(fs::exists(folder / "lying" / "录制文件Temp"));
  }

  // Sizes above the limit are refused before anything is written.
  const UnzipResult tooBig = unpackZipArchive(archive, folder / "big", UnzipLimits{1000, 10});
  EXPECT_FALSE(tooBig.ok);
  EXPECT_FALSE(fs::exists(folder / "big"));
}

TEST(ZipStoredNames, FollowTheExtensionList) {
  for (const char* name : {"a.Z", "b.ZIP", "c.zoo", "d.arc", "e.LZH", "f.arj", "g.gz", "h.tgz"}) {
    EXPECT_TRUE(zipStoresUncompressed(name)) << name;
  }
  for (const char* name : {"录制文件Temp", "Config", "Music", "gz", "a.gzip", "z"}) {
    EXPECT_FALSE(zipStoresUncompressed(name)) << name;
  }
}

}  // namespace
}  // namespace ostrel::platform
