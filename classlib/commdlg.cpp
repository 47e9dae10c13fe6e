#include "classlib/commdlg.h"

#include <QApplication>
#include <QFile>
#include <QColorDialog>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QFontInfo>

#include <cstddef>
#include <cstring>

#include "platform/kernel.h"
#include "platform/path.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"

namespace platform {
namespace {

thread_local DWORD t_lastDialogError = 0;

QWidget *OwnerWidget(HWND owner) { return owner ? WidgetFromHandle(owner) : nullptr; }

// Qt's own dialogs, the ones the program shows.
class QtCommonDialogs final : public CommonDialogs {
 public:
  FileDialogAnswer AskFile(const FileDialogRequest &request) override {
    FileDialogAnswer answer;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return answer;
    QFileDialog dialog(OwnerWidget(request.owner), FromGbk(request.title.c_str()));
    dialog.setAcceptMode(request.kind == FileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.kind == FileDialogKind::Save || !(request.flags & OFN_FILEMUSTEXIST)
                           ? QFileDialog::AnyFile
                           : QFileDialog::ExistingFile);
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (!(request.flags & OFN_OVERWRITEPROMPT)) options |= QFileDialog::DontConfirmOverwrite;
    dialog.setOptions(options);
    QStringList filters;
    for (const FileFilter &filter : request.filters) {
      QString patterns = FromGbk(filter.patterns.c_str());
      patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
      filters << FromGbk(filter.description.c_str()) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    if (!filters.isEmpty()) {
      dialog.setNameFilters(filters);
      int index = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex : 1;
      dialog.selectNameFilter(filters[index - 1]);
    }
    if (!request.initialDir.empty())
      dialog.setDirectory(QFile::decodeName(ResolvePath(request.initialDir.c_str()).c_str()));
    if (!request.fileName.empty()) dialog.selectFile(QFile::decodeName(ResolvePath(request.fileName.c_str()).c_str()));
    if (!request.defaultExt.empty()) dialog.setDefaultSuffix(FromGbk(request.defaultExt.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
    answer.accepted = true;
    // The bytes the file system holds, which the file calls resolve again.
    QByteArray bytes = QFile::encodeName(dialog.selectedFiles().front());
    answer.fileName = ToWindowsPath(std::string(bytes.constData(), size_t(bytes.size())));
    answer.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (answer.filterIndex < 1) answer.filterIndex = 1;
    return answer;
  }

  ColorDialogAnswer AskColor(const ColorDialogRequest &request) override {
    ColorDialogAnswer answer;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return answer;
    QColor initial(GetRValue(request.color), GetGValue(request.color), GetBValue(request.color));
    QColor chosen = QColorDialog::getColor(initial, OwnerWidget(request.owner), QString(),
                                           QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid()) return answer;
    answer.accepted = true;
    answer.color = RGB(BYTE(chosen.red()), BYTE(chosen.green()), BYTE(chosen.blue()));
    return answer;
  }

  FontDialogAnswer AskFont(const FontDialogRequest &request) override {
    FontDialogAnswer answer;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return answer;
    QFont initial(FromGbk(request.font.face.c_str()));
    // Pixels either way; the dialog shows a size, the caller keeps its rule.
    int pixels = request.font.height < 0 ? -request.font.height : request.font.height;
    if (pixels > 0) initial.setPixelSize(pixels);
    initial.setBold(request.font.weight >= 600);
    initial.setItalic(request.font.italic);
    initial.setUnderline(request.font.underline);
    initial.setStrikeOut(request.font.strikeOut);
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, initial, OwnerWidget(request.owner), QString(),
                                        QFontDialog::DontUseNativeDialog);
    if (!ok) return answer;
    answer.accepted = true;
    QByteArray face = ToGbk(chosen.family());
    answer.font.face.assign(face.constData(), size_t(face.size()));
    int size = chosen.pixelSize() > 0 ? chosen.pixelSize() : QFontInfo(chosen).pixelSize();
    answer.font.height = -size;  // the character height, as the Win32 dialog reports it
    answer.font.weight = chosen.bold() ? 700 : 400;
    answer.font.italic = chosen.italic();
    answer.font.underline = chosen.underline();
    answer.font.strikeOut = chosen.strikeOut();
    answer.font.color = request.font.color;
    return answer;
  }
};

QtCommonDialogs g_qtDialogs;
CommonDialogs *g_dialogs = nullptr;  // GUI thread only

BOOL FileDialog(OPENFILENAMEA *request, FileDialogKind kind) {
  t_lastDialogError = 0;
  if (!request || request->lStructSize < offsetof(OPENFILENAMEA, pvReserved)) {
    t_lastDialogError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (!request->lpstrFile || request->nMaxFile == 0) {
    t_lastDialogError = CDERR_INITIALIZATION;
    return FALSE;
  }
  FileDialogRequest ask;
  ask.kind = kind;
  ask.owner = request->hwndOwner;
  if (request->lpstrTitle) ask.title = request->lpstrTitle;
  if (request->lpstrInitialDir) ask.initialDir = request->lpstrInitialDir;
  ask.fileName.assign(request->lpstrFile, strnlen(request->lpstrFile, request->nMaxFile));
  if (request->lpstrDefExt) ask.defaultExt = request->lpstrDefExt;
  ask.filters = ParseFilterPairs(request->lpstrFilter);
  ask.filterIndex = request->nFilterIndex == 0 ? 1 : int(request->nFilterIndex);
  ask.flags = request->Flags;

  FileDialogAnswer answer = CurrentCommonDialogs().AskFile(ask);
  if (!answer.accepted) return FALSE;
  std::string name = WithDefaultExtension(answer.fileName, ask.defaultExt);
  if (name.size() + 1 > request->nMaxFile) {
    request->lpstrFile[0] = 0;
    t_lastDialogError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  std::memcpy(request->lpstrFile, name.c_str(), name.size() + 1);
  request->nFilterIndex = DWORD(answer.filterIndex);
  size_t slash = name.find_last_of('\\');
  size_t offset = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.find_last_of('.');
  request->nFileOffset = WORD(offset);
  request->nFileExtension = WORD(dot != std::string::npos && dot >= offset ? dot + 1 : 0);
  if (request->lpstrFileTitle && request->nMaxFileTitle > 0) {
    std::string title = name.substr(offset);
    size_t n = std::min(title.size(), size_t(request->nMaxFileTitle - 1));
    std::memcpy(request->lpstrFileTitle, title.data(), n);
    request->lpstrFileTitle[n] = 0;
  }
  return TRUE;
}

}  // namespace

CommonDialogs *SetCommonDialogs(CommonDialogs *dialogs) {
  CommonDialogs *previous = g_dialogs;
  g_dialogs = dialogs;
  return previous;
}

CommonDialogs &CurrentCommonDialogs() { return g_dialogs ? *g_dialogs : g_qtDialogs; }

std::vector<FileFilter> ParseFilterPairs(const char *pairs) {
  std::vector<FileFilter> filters;
  if (!pairs) return filters;
  // Each piece is bounded by its NUL; the list ends at an empty piece.
  while (*pairs) {
    FileFilter filter;
    filter.description = pairs;
    pairs += filter.description.size() + 1;
    if (!*pairs) break;
    filter.patterns = pairs;
    pairs += filter.patterns.size() + 1;
    filters.push_back(std::move(filter));
  }
  return filters;
}

std::vector<FileFilter> ParseFilterBar(const std::string &bar) {
  std::vector<FileFilter> filters;
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= bar.size() && !bar.empty()) {
    size_t end = bar.find('|', start);
    if (end == std::string::npos) end = bar.size();
    pieces.push_back(bar.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) filters.push_back(FileFilter{pieces[i], pieces[i + 1]});
  return filters;
}

std::string WithDefaultExtension(const std::string &name, const std::string &defaultExt) {
  if (defaultExt.empty() || name.empty()) return name;
  size_t slash = name.find_last_of("\\/");
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return name;
  std::string ext = defaultExt[0] == '.' ? defaultExt.substr(1) : defaultExt;
  return name + "." + ext;
}

}  // namespace platform

using namespace platform;

BOOL GetOpenFileNameA(OPENFILENAMEA *request) { return FileDialog(request, FileDialogKind::Open); }
BOOL GetSaveFileNameA(OPENFILENAMEA *request) { return FileDialog(request, FileDialogKind::Save); }

BOOL ChooseColorA(CHOOSECOLORA *request) {
  t_lastDialogError = 0;
  if (!request || request->lStructSize < sizeof(CHOOSECOLORA)) {
    t_lastDialogError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  ColorDialogRequest ask;
  ask.owner = request->hwndOwner;
  ask.color = (request->Flags & CC_RGBINIT) ? request->rgbResult : 0;
  ColorDialogAnswer answer = CurrentCommonDialogs().AskColor(ask);
  if (!answer.accepted) return FALSE;
  request->rgbResult = answer.color & 0x00FFFFFF;
  return TRUE;
}

DWORD CommDlgExtendedError() { return t_lastDialogError; }
