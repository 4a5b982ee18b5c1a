#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "codec/RecordingStream.h"
#include "platform/zip/ZipWriter.h"
#include "recording/DiskSpaceGuard.h"
#include "recording/RecordingConfig.h"

// Turns a finished recording into its recording file: the stream becomes the
// data file "录制文件Temp" beside "Config" (and "Music") in a folder of the
// cache, the folder is zipped into the save folder, the user is told the size.
// Nothing recorded is lost on failure: the gathered files stay and the result
// names them. A journalled stream packs its journal file as the data member
// (no copy), deletes it on success and keeps it for recovery on failure.
namespace ostrel::recording {

inline constexpr std::string_view kDataMemberName = "录制文件Temp";
inline constexpr std::string_view kConfigMemberName = "Config";
inline constexpr std::string_view kMusicMemberName = "Music";

inline constexpr std::string_view kHintWritingData = "正在生成录制文件...";
inline constexpr std::string_view kHintWritingConfig = "正在写出配置文件...";
inline constexpr std::string_view kHintWritingArchive = "正在保存为OREC文件...";
inline constexpr std::string_view kDoneCaption = "生成完毕";
inline constexpr std::string_view kFailedCaption = "生成失败";

struct PackageResult {
  bool ok = false;
  std::filesystem::path recordingFile;  // the .ORec written
  int64_t sizeBytes = -1;
  std::filesystem::path keptFolder;   // on failure: where the recorded data stays, if anywhere
  std::filesystem::path keptJournal;  // on failure of a journalled recording: its journal
  std::string error;                  // on failure: what went wrong
  std::string message;                // text of the closing message box
  std::string caption;
  std::string nextFileName;  // the file name to propose next
};

// The packing window's side: the main window and a console implement it.
class PackagingView {
 public:
  virtual ~PackagingView() = default;
  virtual void setHint(std::string_view text) = 0;
  // 10 after the data file, 20 after Config, then 20 + percent of the bytes zipped.
  virtual void setProgress(int position) = 0;
  // The main window shows a fresh screen picture in its preview.
  virtual void refreshPreview() {}
  // The closing message box; returns when the user has seen it.
  virtual void showResult(const PackageResult& result) = 0;
};

using ArchiveWriter = std::function<platform::ZipWriteResult(
    const std::filesystem::path&, std::span<const platform::ZipMemberSource>, const platform::ZipProgress&)>;

struct PackageRequest {
  std::filesystem::path cacheFolder;
  std::filesystem::path saveFolder;
  std::string fileName;
  RecordingSettings settings;
  std::function<void()> closeGrabber;
  // Writes the sound file at the given path when sound was being recorded;
  // true when it wrote one.
  std::function<bool(const std::filesystem::path&)> saveSound;
  // Writes the archive; platform::writeZipArchive when empty. Tests put faults here.
  ArchiveWriter writeArchive;
  // False: fail rather than replace an existing recording file of that name.
  bool replaceExisting = true;
  // Free space of the save folder, asked before the archive is begun; the platform's when empty.
  FreeSpaceProbe freeSpace;
};

PackageResult PackageRecording(codec::RecordingStream& stream, const PackageRequest& request,
                               PackagingView& view);

// bytes / 1024 with three decimals and thousands separators: 1234567 gives "1,205.632".
std::string FormatKilobytes(int64_t bytes);

}  // namespace ostrel::recording
