#include "tests/plugin/session_fixture.h"

#include <cstring>

#include "plugin/tradebridge.h"
#include "testing/plugin_session.h"
#include "testing/pump.h"

namespace plugin_test {

using namespace tb;

void SessionTest::SetUp() {
  ASSERT_TRUE(link_.Attached());
  window_ = trace_.Create(WS_OVERLAPPED);
}

void SessionTest::TearDown() {
  EndSession();
  Notes();  // returns what is still queued
  for (int kind = 1; kind < kRequestKinds; ++kind) SetRequestRoutine(kind, nullptr);
  DestroyWindow(window_);
}

std::shared_ptr<Session> SessionTest::Login() { return testing_support::OpenSimSession(window_); }

bool SessionTest::WaitFor(const std::function<bool()> &condition) {
  return testing_support::PumpUntil([&] {
    Notes();
    return condition();
  });
}

bool SessionTest::WaitForCode(uint32_t code, bool text) {
  return WaitFor([&] {
    for (const auto &note : notes_)
      if (note.code == code && note.text == text) return true;
    return false;
  });
}

const std::vector<Note> &SessionTest::Notes() {
  const auto &messages = trace_.Messages();
  for (; taken_ < messages.size(); ++taken_) {
    const auto &m = messages[taken_];
    if (m.message != WM_TRADE_NOTIFY) continue;
    Note note{uint32_t(m.wParam & 0xFFFF), (m.wParam & TN_TEXT_FLAG) != 0, m.lParam, {}, {}};
    // A password change's success carries the kind, not a block; its
    // refusal carries a text block.
    const bool block = m.lParam != 0 && note.code != TN_CONNECTION_STATE && note.code != TN_EXCHANGE_STATUS &&
                       (note.code != TN_PASSWORD_CHANGED || note.text);
    if (block) {
      const char *data = reinterpret_cast<const char *>(m.lParam);
      note.bytes = note.text ? std::string(data) : std::string(data, 64);
      note.raw.assign(data, kResultBlockSize);
      TraderDllFree(reinterpret_cast<void *>(m.lParam));
    }
    notes_.push_back(note);
  }
  return notes_;
}

std::vector<Note> SessionTest::NotesOf(uint32_t code) {
  std::vector<Note> out;
  for (const auto &note : Notes())
    if (note.code == code) out.push_back(note);
  return out;
}

std::vector<CKivoOrderField> SessionTest::Returns() {
  std::vector<CKivoOrderField> out;
  for (const auto &note : NotesOf(TN_ORDER_RETURN)) {
    CKivoOrderField record{};
    memcpy(&record, note.raw.data(), sizeof record);
    out.push_back(record);
  }
  return out;
}

namespace {

std::vector<CKivoOrderField> Only(std::vector<CKivoOrderField> returns, bool pushed) {
  std::erase_if(returns, [&](const CKivoOrderField &r) { return (r.CancelText120[0] != '\0') != pushed; });
  return returns;
}

}  // namespace

std::vector<CKivoOrderField> SessionTest::AnswerReturns() { return Only(Returns(), false); }
std::vector<CKivoOrderField> SessionTest::PushedReturns() { return Only(Returns(), true); }

}  // namespace plugin_test
