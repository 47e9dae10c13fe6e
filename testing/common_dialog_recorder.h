// Stands in for the common dialogs while it lives: every question is
// recorded and answered at once with the next queued answer, or cancelled
// when none is queued.
#pragma once

#include <deque>
#include <vector>

#include "classlib/commdlg.h"

class CommonDialogRecorder final : public platform::CommonDialogs {
 public:
  CommonDialogRecorder();
  ~CommonDialogRecorder() override;
  CommonDialogRecorder(const CommonDialogRecorder &) = delete;
  CommonDialogRecorder &operator=(const CommonDialogRecorder &) = delete;

  void QueueFile(platform::FileDialogAnswer answer) { files_.push_back(std::move(answer)); }
  void QueueColor(platform::ColorDialogAnswer answer) { colors_.push_back(answer); }
  void QueueFont(platform::FontDialogAnswer answer) { fonts_.push_back(std::move(answer)); }

  const std::vector<platform::FileDialogRequest> &FileRequests() const { return fileRequests_; }
  const std::vector<platform::ColorDialogRequest> &ColorRequests() const { return colorRequests_; }
  const std::vector<platform::FontDialogRequest> &FontRequests() const { return fontRequests_; }

  platform::FileDialogAnswer AskFile(const platform::FileDialogRequest &request) override;
  platform::ColorDialogAnswer AskColor(const platform::ColorDialogRequest &request) override;
  platform::FontDialogAnswer AskFont(const platform::FontDialogRequest &request) override;

 private:
  std::deque<platform::FileDialogAnswer> files_;
  std::deque<platform::ColorDialogAnswer> colors_;
  std::deque<platform::FontDialogAnswer> fonts_;
  std::vector<platform::FileDialogRequest> fileRequests_;
  std::vector<platform::ColorDialogRequest> colorRequests_;
  std::vector<platform::FontDialogRequest> fontRequests_;
  platform::CommonDialogs *previous_;
};
