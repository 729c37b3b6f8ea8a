#pragma once

#include <string>

#include "framework/Button.h"
#include "framework/CheckBox.h"
#include "framework/Edit.h"
#include "framework/Label.h"
#include "framework/PagePanel.h"

// The destination: the installation folder is always "Corvanta" directly under a parent folder
// that the user picks with Browse; the path is never typed.
class TFrameStep2 : public TPagePanel {
 public:
  TFrameStep2(const LayoutRow& placement, HWND parent);

  void ButtonBrowseClick();

  TLabel& Label1;
  TLabel& Label2;
  TLabel& Label3;
  TLabel& Label4;
  TEdit& EditPath;
  TButton& ButtonBrowse;
  TCheckBox& CheckBoxCreateStartMenuFolder;
  TCheckBox& CheckBoxCreateDesktopShortcut;
  TLabel& Label5;

  // The parent folder that the controller takes as StartFolder.
  std::string ParentFolder;

 private:
  void RestoreSavedChoices();
};

// The current parent folder, which the folder dialog opens on.
extern std::string BrowseFolder;

// Shows the system folder dialog. Returns the chosen folder's path, or empty text when the user
// cancels or the choice has no file-system path of 1 to 280 characters.
std::string BrowseForParentFolder();
