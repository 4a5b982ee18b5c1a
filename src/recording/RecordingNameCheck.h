#pragma once

#include <string>
#include <string_view>

// The main window's "是否存在" button: tells whether the chosen file name is
// free and offers the next free name when it is taken.
namespace ostrel::recording {

class RecordingNameView {
 public:
  virtual ~RecordingNameView() = default;
  virtual std::string saveFolderText() = 0;
  virtual std::string fileNameText() = 0;
  virtual void setFileNameText(const std::string& name) = 0;
  virtual void showInformation(std::string_view text, std::string_view caption) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool askYesNo(std::string_view text, std::string_view caption) = 0;
};

inline constexpr std::string_view kNameFreeText = "文件未存在，可以录制！";
inline constexpr std::string_view kNameTakenText = "文件已存在,是否更新最新文件名？";
inline constexpr std::string_view kNameInvalidText = "文件名无效,请填写一个不含“/”的文件名！";
inline constexpr std::string_view kNameCheckCaption = "提示";

void CheckRecordingName(RecordingNameView& view);

}  // namespace ostrel::recording
