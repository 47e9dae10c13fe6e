#include "testing/common_dialog_recorder.h"

namespace {

template <typename T>
T Next(std::deque<T> &queue) {
  if (queue.empty()) return T{};  // cancelled
  T answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

}  // namespace

CommonDialogRecorder::CommonDialogRecorder() : previous_(platform::SetCommonDialogs(this)) {}

CommonDialogRecorder::~CommonDialogRecorder() { platform::SetCommonDialogs(previous_); }

platform::FileDialogAnswer CommonDialogRecorder::AskFile(const platform::FileDialogRequest &request) {
  fileRequests_.push_back(request);
  return Next(files_);
}

platform::ColorDialogAnswer CommonDialogRecorder::AskColor(const platform::ColorDialogRequest &request) {
  colorRequests_.push_back(request);
  return Next(colors_);
}

platform::FontDialogAnswer CommonDialogRecorder::AskFont(const platform::FontDialogRequest &request) {
  fontRequests_.push_back(request);
  return Next(fonts_);
}
