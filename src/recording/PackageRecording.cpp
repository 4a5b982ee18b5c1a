#include "recording/PackageRecording.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/files/FileIo.h"
#include "platform/zip/ZipWriter.h"
#include "recording/RecordingJournal.h"
#include "recording/RecordingNames.h"
#include "recording/TemporaryArchive.h"

namespace ostrel::recording {

namespace {

namespace fs = std::filesystem;

bool folderIsEmpty(const fs::path& folder) {
  std::error_code ec;
  return fs::is_empty(folder, ec) && !ec;
}

// The cache folder for this recording's files: file name + "Temp", or the
// first free variant of it when files of an earlier failed packing are kept there.
std::optional<fs::path> makePackFolder(const fs::path& cacheFolder, const std::string& fileName) {
  for (int n = 1; n < 1000; ++n) {
    const fs::path folder = cacheFolder / (fileName + "Temp" + (n == 1 ? "" : std::to_string(n)));
    if (::mkdir(folder.c_str(), 0755) == 0) return folder;
    if (errno != EEXIST) return std::nullopt;
    std::error_code ec;
    if (fs::is_directory(folder, ec) && folderIsEmpty(folder)) return folder;
  }
  return std::nullopt;
}

// A journalled recording that could not be packed: its journal stays for recovery.
void failKeepingJournal(PackageResult& result, std::string error, codec::RecordingStream& stream) {
  const fs::path journal = stream.journalPath();
  const uint64_t lost = stream.releaseJournal();
  result.ok = false;
  result.error = std::move(error);
  if (lost > 0)
    result.error += " (" + std::to_string(lost) + " bytes of the last frames could not be written)";
  result.keptJournal = journal;
  result.caption = std::string(kFailedCaption);
  result.message = "生成Orec失败,录制数据已保留在:" + journal.string() +
                   "\n程序下次启动时会再次提供保存,也可以用 ostrel recover 保存。\n" + result.error;
}

void fail(PackageResult& result, std::string error, const fs::path& kept) {
  result.ok = false;
  result.error = std::move(error);
  result.keptFolder = kept;
  result.caption = std::string(kFailedCaption);
  if (kept.empty()) {
    result.message = "生成Orec失败,录制数据仍在内存中:" + result.error;
  } else {
    result.message = "生成Orec失败,录制数据已保留在:" + kept.string() + "\n" + result.error;
  }
}

}  // namespace

std::string FormatKilobytes(int64_t bytes) {
  const long long thousandths = std::llround(static_cast<double>(bytes) * 1000.0 / 1024.0);
  const unsigned long long magnitude = static_cast<unsigned long long>(std::llabs(thousandths));
  const std::string digits = std::to_string(magnitude / 1000);
  std::string whole;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) whole.push_back(',');
    whole.push_back(digits[i]);
  }
  std::string fraction = std::to_string(magnitude % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  std::string text(thousandths < 0 ? "-" : "");
  text.append(whole).append(".").append(fraction);
  return text;
}

PackageResult PackageRecording(codec::RecordingStream& stream, const PackageRequest& request,
                               PackagingView& view) {
  PackageResult result;
  if (request.closeGrabber) request.closeGrabber();
  view.refreshPreview();

  for (const fs::path& folder : {request.cacheFolder, request.saveFolder}) {
    if (!FolderExists(folder.string())) CreateFolderPath(folder.string());
  }

  const auto finish = [&]() -> PackageResult {
    result.nextFileName = NextFreeRecordingName(request.saveFolder);
    view.showResult(result);
    return result;
  };

  // A journal is the data member as it stands; its recording is kept whole
  // in it until the recording file is in place.
  const bool journalled = stream.journaling();
  const auto failWith = [&](std::string error, const fs::path& kept) {
    if (journalled) {
      failKeepingJournal(result, std::move(error), stream);
    } else {
      fail(result, std::move(error), kept);
    }
    return finish();
  };

  if (!IsPlainFileName(request.fileName)) {
    return failWith("the file name \"" + request.fileName + "\" is not one plain file name", {});
  }
  const std::optional<fs::path> packFolder = makePackFolder(request.cacheFolder, request.fileName);
  if (!packFolder) {
    return failWith(
        "cannot create a folder in " + request.cacheFolder.string() + ": " + platform::errnoText(), {});
  }

  // Files this step writes, and only these, are removed at the end.
  std::vector<platform::ZipMemberSource> members;
  const auto removeWritten = [&] {
    std::error_code ec;
    for (const auto& member : members) {
      if (member.file.parent_path() == *packFolder) fs::remove(member.file, ec);
    }
    ::rmdir(packFolder->c_str());  // only when nothing else is left in it
  };
  view.setHint(kHintWritingData);
  if (journalled) {
    if (!stream.flushJournal()) {
      ::rmdir(packFolder->c_str());
      return failWith(stream.lastError(), {});
    }
    members.push_back({std::string(kDataMemberName), stream.journalPath()});
  } else {
    const fs::path dataFile = *packFolder / std::string(kDataMemberName);
    if (!stream.moveToFile(dataFile)) {
      ::rmdir(packFolder->c_str());
      return failWith(stream.lastError(), {});
    }
    members.push_back({std::string(kDataMemberName), dataFile});
  }
  view.setProgress(10);

  const fs::path configFile = *packFolder / std::string(kConfigMemberName);
  // A sound file, if any, stays in the folder for whoever looks.
  const auto dropConfig = [&] {
    ::unlink(configFile.c_str());
    ::rmdir(packFolder->c_str());
  };
  view.setHint(kHintWritingConfig);
  if (!MakeRecordingConfig(request.settings).writeFile(configFile)) {
    const std::string error = "cannot write " + configFile.string() + ": " + platform::errnoText();
    if (journalled) dropConfig();
    return failWith(error, *packFolder);
  }
  members.push_back({std::string(kConfigMemberName), configFile});
  view.setProgress(20);

  const fs::path musicFile = *packFolder / std::string(kMusicMemberName);
  if (request.saveSound && request.saveSound(musicFile) && fs::is_regular_file(musicFile)) {
    members.push_back({std::string(kMusicMemberName), musicFile});
  }

  // An archive begun without room would only fail at its end; refuse before it.
  if (auto noRoom = ArchiveRoomShortage(request.freeSpace, request.saveFolder, members)) {
    if (journalled) dropConfig();
    return failWith(std::move(*noRoom), *packFolder);
  }

  view.setHint(kHintWritingArchive);
  int lastPosition = 20;
  const auto progress = [&](uint64_t done, uint64_t total) {
    const int position = 20 + static_cast<int>(total == 0 ? 100 : done * 100 / total);
    if (position != lastPosition) view.setProgress(lastPosition = position);
  };
  const fs::path target = RecordingFilePath(request.saveFolder, request.fileName);
  const ArchiveWriter& writer =
      request.writeArchive ? request.writeArchive : ArchiveWriter(platform::writeZipArchive);
  const platform::ZipWriteResult zipped =
      WriteArchiveInPlace(writer, target, members, progress, request.replaceExisting);
  if (!zipped.ok) {
    // The journal alone is enough to pack again: Config comes from its settings file.
    if (journalled) dropConfig();
    return failWith(zipped.error, *packFolder);
  }
  if (lastPosition != 120) view.setProgress(120);

  std::error_code ec;
  const auto size = fs::file_size(target, ec);
  result.ok = true;
  result.recordingFile = target;
  result.sizeBytes = ec ? -1 : static_cast<int64_t>(size);
  result.caption = std::string(kDoneCaption);
  result.message = "生成Orec完毕,大小:" + FormatKilobytes(result.sizeBytes) + "Kb";

  removeWritten();
  if (journalled) {
    ForgetFinishedJournal(stream.journalPath());
    stream.releaseJournal();
  }
  return finish();
}

}  // namespace ostrel::recording
