#include "UnitFrameStep2.h"

#include <shlobj.h>

#include "framework/Handles.h"
#include "integration/SetupChoices.h"
#include "setup/ProductNames.h"
#include "framework/SupportLog.h"

std::string BrowseFolder;

namespace {

// A screen reader names an edit by the label just before it in the window order, so Label3
// stands right before the folder's edit: Browse (tab order 0) takes the place before it.
const LayoutRow kLayout[] = {
    {ControlKind::Label, "Label1", 20, 10, 154, 13, "Select Destination Location", kBold,
     kNoTabOrder},
    {ControlKind::Label, "Label2", 40, 30, 194, 13, "Where should Corvanta be installed?", kNoFlags,
     kNoTabOrder},
    {ControlKind::Label, "Label4", 40, 80, 390, 13,
     "To continue, click Next. If you would like to select a different folder, click Browse.",
     kNoFlags, kNoTabOrder},
    {ControlKind::Button, "ButtonBrowse", 480, 108, 75, 25, "Browse...", kNoFlags, 0},
    {ControlKind::Label, "Label3", 40, 60, 261, 13,
     "Setup will install Corvanta into the following folder.", kNoFlags, kNoTabOrder},
    {ControlKind::Edit, "EditPath", 40, 110, 430, 21, nullptr, kReadOnly, 1, 230},
    {ControlKind::CheckBox, "CheckBoxCreateStartMenuFolder", 40, 150, 160, 17,
     "Create a Start Menu folder", kChecked, 2},
    {ControlKind::CheckBox, "CheckBoxCreateDesktopShortcut", 40, 180, 160, 17,
     "Create a Desktop shortcut", kChecked, 3},
    {ControlKind::Label, "Label5", 40, 350, 214, 13, "At least 12 MB of free disk space is required.",
     kNoFlags, kNoTabOrder},
};

constexpr char kBrowseTitle[] = "Select a folder in the list below, then click OK.";
constexpr size_t kLongestBrowsedFolder = 280;

void RemoveTrailingBackslash(std::string& folder) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED) {
    ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE,
                   reinterpret_cast<LPARAM>(BrowseFolder.c_str()));
  }
  return 0;
}

}  // namespace

TFrameStep2::TFrameStep2(const LayoutRow& placement, HWND parent)
    : TPagePanel(placement, parent, "TFrameStep2", kLayout, CountOf(kLayout)),
      Label1(Find<TLabel>("Label1")),
      Label2(Find<TLabel>("Label2")),
      Label3(Find<TLabel>("Label3")),
      Label4(Find<TLabel>("Label4")),
      EditPath(Find<TEdit>("EditPath")),
      ButtonBrowse(Find<TButton>("ButtonBrowse")),
      CheckBoxCreateStartMenuFolder(Find<TCheckBox>("CheckBoxCreateStartMenuFolder")),
      CheckBoxCreateDesktopShortcut(Find<TCheckBox>("CheckBoxCreateDesktopShortcut")),
      Label5(Find<TLabel>("Label5")) {
  ButtonBrowse.OnClick = [this] { ButtonBrowseClick(); };
  try {
    RestoreSavedChoices();
  } catch (...) {
    support_log::Discarded("TFrameStep2");
    // The page is still built; it proposes whatever it had reached.
  }
}

void TFrameStep2::RestoreSavedChoices() {
  BrowseFolder.clear();
  ParentFolder.clear();

  SavedSetupChoices saved = ReadSetupChoices();
  BrowseFolder = saved.startFolder;
  if (saved.startMenuOff) CheckBoxCreateStartMenuFolder.SetChecked(false);
  if (saved.desktopOff) CheckBoxCreateDesktopShortcut.SetChecked(false);

  if (BrowseFolder.empty()) {
    char programFiles[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT,
                                     programFiles))) {
      BrowseFolder = programFiles;
    } else {
      BrowseFolder = product::kDefaultParentFolder;
    }
  }
  RemoveTrailingBackslash(BrowseFolder);

  ParentFolder = BrowseFolder;
  EditPath.SetText(BrowseFolder + product::kFolderName);
  EditPath.SetDoubleBuffered(true);
}

// Deliberately unguarded: an exception here reaches the application's exception display.
void TFrameStep2::ButtonBrowseClick() {
  std::string result = BrowseForParentFolder();
  if (result.empty()) return;
  RemoveTrailingBackslash(result);
  BrowseFolder = result;
  ParentFolder = BrowseFolder;
  EditPath.SetText(result + product::kFolderName);
}

std::string BrowseForParentFolder() {
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = nullptr;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = kBrowseTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  info.lParam = 0;

  CoTaskMemory itemList(::SHBrowseForFolderA(&info));
  if (!itemList) return std::string();
  // Paths longer than MAX_PATH are refused by the conversion itself.
  char path[MAX_PATH + 1] = {};
  if (!::SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(itemList.get()), path)) {
    return std::string();
  }
  std::string result = path;
  if (result.empty() || result.size() > kLongestBrowsedFolder) return std::string();
  return result;
}
