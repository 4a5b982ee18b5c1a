#include "recording/PackageRecording.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/files/FileIo.h"
#include "platform/zip/ZipWriter.h"
#include "recording/RecordingNames.h"

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

bool syncPath(const fs::path& path, int flags) {
  platform::UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
  return fd && ::fsync(fd.get()) == 0;
}

// Writes the archive under a temporary name beside the final one and renames
// it into place only when it is complete, so an older recording of the same
// name survives any failure.
platform::ZipWriteResult writeArchiveSafely(const ArchiveWriter& writer, const fs::path& target,
                                            std::span<const platform::ZipMemberSource> members,
                                            const platform::ZipProgress& progress) {
  std::string hidden(".");
  hidden.append(target.filename().string()).append(".XXXXXX");
  std::string pattern = (target.parent_path() / hidden).string();
  platform::UniqueFd placeholder(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!placeholder)
    return {false, "cannot create a file in " + target.parent_path().string() + ": " + platform::errnoText()};
  // mkostemp makes the file private; a recording gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(placeholder.get(), 0666 & ~mask);
  placeholder.reset();
  const fs::path temporary = pattern;
  platform::ZipWriteResult result = writer(temporary, members, progress);
  if (result.ok && !syncPath(temporary, O_RDONLY)) result = {false, "cannot flush " + temporary.string()};
  if (result.ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    result = {false, "cannot rename " + temporary.string() + " to " + target.string() + ": " +
                         platform::errnoText()};
  }
  if (!result.ok) {
    ::unlink(temporary.c_str());
    return result;
  }
  syncPath(target.parent_path(), O_RDONLY | O_DIRECTORY);
  return result;
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

  if (!IsPlainFileName(request.fileName)) {
    fail(result, "the file name \"" + request.fileName + "\" is not one plain file name", {});
    return finish();
  }
  const std::optional<fs::path> packFolder = makePackFolder(request.cacheFolder, request.fileName);
  if (!packFolder) {
    fail(result, "cannot create a folder in " + request.cacheFolder.string() + ": " + platform::errnoText(),
         {});
    return finish();
  }

  // Files this step writes, and only these, are removed at the end.
  std::vector<platform::ZipMemberSource> members;
  const fs::path dataFile = *packFolder / std::string(kDataMemberName);
  view.setHint(kHintWritingData);
  if (!stream.moveToFile(dataFile)) {
    ::rmdir(packFolder->c_str());
    fail(result, stream.lastError(), {});
    return finish();
  }
  members.push_back({std::string(kDataMemberName), dataFile});
  view.setProgress(10);

  const fs::path configFile = *packFolder / std::string(kConfigMemberName);
  view.setHint(kHintWritingConfig);
  if (!MakeRecordingConfig(request.settings).writeFile(configFile)) {
    fail(result, "cannot write " + configFile.string() + ": " + platform::errnoText(), *packFolder);
    return finish();
  }
  members.push_back({std::string(kConfigMemberName), configFile});
  view.setProgress(20);

  const fs::path musicFile = *packFolder / std::string(kMusicMemberName);
  if (request.saveSound && request.saveSound(musicFile) && fs::is_regular_file(musicFile)) {
    members.push_back({std::string(kMusicMemberName), musicFile});
  }

  // An archive begun without room would only fail at its end; refuse before it.
  if (auto noRoom = ArchiveRoomShortage(request.freeSpace, request.saveFolder, members)) {
    fail(result, std::move(*noRoom), *packFolder);
    return finish();
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
  const platform::ZipWriteResult zipped = writeArchiveSafely(writer, target, members, progress);
  if (!zipped.ok) {
    fail(result, zipped.error, *packFolder);
    return finish();
  }
  if (lastPosition != 120) view.setProgress(120);

  std::error_code ec;
  const auto size = fs::file_size(target, ec);
  result.ok = true;
  result.recordingFile = target;
  result.sizeBytes = ec ? -1 : static_cast<int64_t>(size);
  result.caption = std::string(kDoneCaption);
  result.message = "生成Orec完毕,大小:" + FormatKilobytes(result.sizeBytes) + "Kb";

  for (const auto& member : members) fs::remove(member.file, ec);
  ::rmdir(packFolder->c_str());  // only when nothing else is left in it
  return finish();
}

}  // namespace ostrel::recording
