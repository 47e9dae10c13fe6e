#include "classlib/dialogs.h"

#include "classlib/commdlg.h"
#include "classlib/controls.h"

namespace {

DWORD WinFlags(TOpenOptions options) {
  DWORD flags = OFN_EXPLORER;
  if (options & ofReadOnly) flags |= OFN_READONLY;
  if (options & ofOverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
  if (options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
  if (options & ofNoChangeDir) flags |= OFN_NOCHANGEDIR;
  if (options & ofPathMustExist) flags |= OFN_PATHMUSTEXIST;
  if (options & ofFileMustExist) flags |= OFN_FILEMUSTEXIST;
  if (options & ofEnableSizing) flags |= OFN_ENABLESIZING;
  return flags;
}

}  // namespace

HWND TCommonDialog::OwnerWindow() const {
  for (TComponent *c = Owner(); c; c = c->Owner())
    if (auto *control = dynamic_cast<TWinControl *>(c); control && control->HandleAllocated()) return control->Handle();
  return nullptr;
}

bool TOpenDialog::Execute() {
  platform::FileDialogRequest request;
  request.kind = Saving() ? platform::FileDialogKind::Save : platform::FileDialogKind::Open;
  request.owner = OwnerWindow();
  request.title = Title;
  request.initialDir = InitialDir;
  request.fileName = FileName;
  request.defaultExt = DefaultExt;
  request.filters = platform::ParseFilterBar(Filter);
  request.filterIndex = FilterIndex;
  request.flags = WinFlags(Options);
  platform::FileDialogAnswer answer = platform::CurrentCommonDialogs().AskFile(request);
  if (!answer.accepted) return false;
  FileName = platform::WithDefaultExtension(answer.fileName, DefaultExt);
  FilterIndex = answer.filterIndex;
  return true;
}

bool TColorDialog::Execute() {
  platform::ColorDialogRequest request;
  request.color = ColorToRGB(Color);
  request.owner = OwnerWindow();
  platform::ColorDialogAnswer answer = platform::CurrentCommonDialogs().AskColor(request);
  if (!answer.accepted) return false;
  Color = TColor(answer.color & 0x00FFFFFF);
  return true;
}

bool TFontDialog::Execute() {
  platform::FontDialogRequest request;
  request.owner = OwnerWindow();
  request.font.face = font_.Name();
  request.font.height = font_.Height();
  request.font.weight = (font_.Style() & fsBold) ? 700 : 400;
  request.font.italic = (font_.Style() & fsItalic) != 0;
  request.font.underline = (font_.Style() & fsUnderline) != 0;
  request.font.strikeOut = (font_.Style() & fsStrikeOut) != 0;
  request.font.color = ColorToRGB(font_.Color());
  platform::FontDialogAnswer answer = platform::CurrentCommonDialogs().AskFont(request);
  if (!answer.accepted) return false;
  font_.SetName(answer.font.face);
  font_.SetHeight(answer.font.height);
  TFontStyles style = 0;
  if (answer.font.weight >= 600) style |= fsBold;
  if (answer.font.italic) style |= fsItalic;
  if (answer.font.underline) style |= fsUnderline;
  if (answer.font.strikeOut) style |= fsStrikeOut;
  font_.SetStyle(style);
  font_.SetColor(TColor(answer.font.color & 0x00FFFFFF));
  return true;
}
