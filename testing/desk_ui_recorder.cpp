#include "testing/desk_ui_recorder.h"

#include "trading/tradedesk.h"

namespace {

std::vector<std::string> Matching(const std::vector<std::string> &calls, const std::string &prefix) {
  std::vector<std::string> out;
  for (const std::string &c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  return out;
}

std::string RectText(const RECT &r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right - r.left) + "," +
         std::to_string(r.bottom - r.top);
}

}  // namespace

std::vector<std::string> DeskUiRecorder::Calls(const std::string &prefix) const { return Matching(calls, prefix); }

void DeskUiRecorder::ReadLoginPage(TLoginPageModel &page) {
  calls.push_back("ReadLoginPage");
  if (!showsLoginEdits) return;
  page.account = shownAccount;
  page.password = shownPassword;
  page.code = shownCode;
}

void DeskUiRecorder::LoginPageChanged() {
  calls.push_back("LoginPageChanged");
  if (!showsLoginEdits || !desk) return;
  shownAccount = desk->login.account;
  shownPassword = desk->login.password;
  shownCode = desk->login.code;
}

bool DeskUiRecorder::LoadViewer(const char *path) {
  calls.push_back(std::string("LoadViewer ") + path);
  viewerFile = path;
  return viewerLoads;
}

void DeskUiRecorder::TextButtons(const char *confirm, const char *exit) {
  calls.push_back(std::string("TextButtons ") + confirm + " " + exit);
}

void DeskUiRecorder::Layout() { calls.push_back("Layout " + std::to_string(desk ? desk->pageState : -1)); }

void DeskUiRecorder::Dock(int height) {
  calls.push_back("Dock " + std::to_string(height));
  docked = true;
  bounds = RECT{0, mainSize.cy - height, mainSize.cx, mainSize.cy};
}

void DeskUiRecorder::Float(const RECT &rect) {
  calls.push_back("Float " + RectText(rect));
  docked = false;
  bounds = rect;
}

void DeskUiRecorder::OrderFilter(bool cancellable, bool allShown) {
  calls.push_back(std::string("OrderFilter ") + (cancellable ? "可撤" : "全部") + (allShown ? "" : " 全部隐藏"));
}

bool DeskUiRecorder::RunOptionsDialog() {
  calls.push_back("RunOptionsDialog");
  if (optionsDialog) optionsDialog();
  return optionsOk;
}

void DeskUiRecorder::ReadPasswordPage(TPasswordPageModel &page) {
  calls.push_back("ReadPasswordPage");
  if (hasTypedPassword) page = typedPassword;
}

void DeskUiRecorder::PasswordPageChanged(const TPasswordPageModel &page) {
  calls.push_back("PasswordPageChanged " + page.current + "|" + page.fresh + "|" + page.repeat);
  typedPassword = page;
}

std::vector<std::string> DeskHostRecorder::Calls(const std::string &prefix) const { return Matching(calls, prefix); }

void DeskHostRecorder::SetTitle(const char *text) {
  title = text;
  calls.push_back(std::string("SetTitle ") + text);
}

void DeskHostRecorder::HideTradingWindow(const char *account) {
  calls.push_back(std::string("HideTradingWindow ") + account);
  if (desk) desk->SaveWindowGeometry(account);
  checked = false;
}

void DeskHostRecorder::ToggleTradingWindow() {
  checked = !checked;
  calls.push_back(std::string("ToggleTradingWindow ") + (checked ? "1" : "0"));
}

void DeskHostRecorder::SetModal(bool on) {
  modal = on;
  modalSeen = modalSeen || on;
  calls.push_back(std::string("SetModal ") + (on ? "1" : "0"));
}
