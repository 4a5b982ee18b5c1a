#include "recording/RecordingNameCheck.h"

#include "recording/RecordingNames.h"

namespace ostrel::recording {

void CheckRecordingName(RecordingNameView& view) {
  const std::string fileName = view.fileNameText();
  // A name that is not one path component could never be recorded under.
  if (!IsPlainFileName(fileName)) {
    view.showInformation(kNameInvalidText, kNameCheckCaption);
    return;
  }
  if (!RecordingFileExists(view.saveFolderText(), fileName)) {
    view.showInformation(kNameFreeText, kNameCheckCaption);
    return;
  }
  if (view.askYesNo(kNameTakenText, kNameCheckCaption)) {
    view.setFileNameText(NextFreeRecordingName(view.saveFolderText()));
  }
}

}  // namespace ostrel::recording
