#include "testing/frame_host_recorder.h"

#include <cstring>

FrameHostRecorder::FrameHostRecorder() : previous_(SetMainFrameHost(this)) {}
FrameHostRecorder::~FrameHostRecorder() { SetMainFrameHost(previous_); }

void FrameHostRecorder::ShowViewTools(bool show, int kind) {
  calls.push_back("ShowViewTools " + std::to_string(show) + " " + std::to_string(kind));
}
void FrameHostRecorder::ShowDrawingTools(bool klinePane) {
  calls.push_back("ShowDrawingTools " + std::to_string(klinePane));
}
void FrameHostRecorder::ReleasePeriodButtons() { calls.push_back("ReleasePeriodButtons"); }
bool FrameHostRecorder::SetOrderContract(uint32_t stockWord, int flag) {
  calls.push_back("SetOrderContract " + std::to_string(stockWord) + " " + std::to_string(flag));
  return false;
}
void FrameHostRecorder::SetDialogOpen(bool open) { calls.push_back("SetDialogOpen " + std::to_string(open)); }
COLORREF FrameHostRecorder::ThemeColor(int number) { return number >= 1 && number <= 64 ? colors[number - 1] : 0; }
void FrameHostRecorder::BuildPageMenu(int mark) { calls.push_back("BuildPageMenu " + std::to_string(mark)); }
bool FrameHostRecorder::AskWebAddress(char (&address)[128]) {
  calls.push_back("AskWebAddress");
  if (webAddress.empty()) return false;
  std::memset(address, 0, sizeof address);
  std::strncpy(address, webAddress.c_str(), sizeof address - 1);
  return true;
}

std::vector<std::string> FrameHostRecorder::Calls(const std::string &prefix) const {
  std::vector<std::string> out;
  for (const std::string &c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  return out;
}

void FrameHostRecorder::SetLineToolCode(int code) {
  lineTool = code;
  calls.push_back("SetLineToolCode " + std::to_string(code));
}

void FrameHostRecorder::RaiseLineButton() { calls.push_back("RaiseLineButton"); }
void FrameHostRecorder::PressPeriodButton(int period) { calls.push_back("PressPeriodButton " + std::to_string(period)); }
void FrameHostRecorder::CheckScaleItem(int item) { calls.push_back("CheckScaleItem " + std::to_string(item)); }
