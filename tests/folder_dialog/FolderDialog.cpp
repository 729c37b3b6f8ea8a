// Reads and moves the selection of a folder dialog's tree (SysTreeView32) in another process, as
// a user clicking through the tree would. The tree's item messages carry pointers, so the item
// structure and its text live in memory taken in the tree's own process.
//   FolderDialog selection TREE          the selected item's text and its ancestors', root first
//   FolderDialog choose TREE TEXT...     opens the items named TEXT, one level each from the
//                                        top, and selects the last; then as `selection`
// One JSON line answers: {"ok": true, "path": [...]} or {"ok": false, "error": "...",
// "choices": [...]} with the texts offered where a name was not found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/Json.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 10000;
constexpr size_t kTextCapacity = 520;
constexpr size_t kRemoteSize = sizeof(TVITEMW) + kTextCapacity * sizeof(wchar_t);

std::string QuoteAll(const std::vector<std::wstring>& texts) {
  std::string list = "[";
  for (size_t i = 0; i < texts.size(); ++i) list += (i ? ", " : "") + json::Quote(texts[i]);
  return list + "]";
}

int Answer(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return 0;
}

int Failure(const std::wstring& why, const std::vector<std::wstring>& choices = {}) {
  Answer("{\"ok\": false, \"error\": " + json::Quote(why) + ", \"choices\": " + QuoteAll(choices) +
         "}");
  return 1;
}

// A TVITEMW and room for its text, in the tree's process.
class RemoteItem {
 public:
  explicit RemoteItem(HWND tree) : tree_(tree) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(tree, &processId);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             processId);
    if (process_) {
      memory_ = ::VirtualAllocEx(process_, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE,
                                 PAGE_READWRITE);
    }
  }
  ~RemoteItem() {
    if (memory_) ::VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  RemoteItem(const RemoteItem&) = delete;
  RemoteItem& operator=(const RemoteItem&) = delete;

  bool Usable() const { return memory_ != nullptr; }

  bool Text(HTREEITEM item, std::wstring& text) {
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_) + sizeof(TVITEMW));
    TVITEMW request = {};
    request.mask = TVIF_TEXT | TVIF_HANDLE;
    request.hItem = item;
    request.pszText = remoteText;
    request.cchTextMax = kTextCapacity;
    if (!::WriteProcessMemory(process_, memory_, &request, sizeof(request), nullptr)) return false;
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory_),
                               SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result) || !result) {
      return false;
    }
    TVITEMW answer = {};
    if (!::ReadProcessMemory(process_, memory_, &answer, sizeof(answer), nullptr)) return false;
    // The tree may answer with a pointer of its own instead of filling the buffer.
    std::vector<wchar_t> buffer(kTextCapacity + 1, L'\0');
    if (!::ReadProcessMemory(process_, answer.pszText, buffer.data(),
                             kTextCapacity * sizeof(wchar_t), nullptr)) {
      return false;
    }
    text = buffer.data();
    return true;
  }

 private:
  HWND tree_;
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

HTREEITEM Next(HWND tree, UINT relation, HTREEITEM item) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item),
                        SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result);
  return reinterpret_cast<HTREEITEM>(result);
}

bool Send(HWND tree, UINT message, WPARAM wParam, HTREEITEM item) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(tree, message, wParam, reinterpret_cast<LPARAM>(item),
                               SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result) && result;
}

int Selection(HWND tree, RemoteItem& remote) {
  std::vector<std::wstring> path;
  for (HTREEITEM item = Next(tree, TVGN_CARET, nullptr); item;
       item = Next(tree, TVGN_PARENT, item)) {
    std::wstring text;
    if (!remote.Text(item, text)) return Failure(L"cannot read an item's text");
    path.insert(path.begin(), text);
  }
  return Answer("{\"ok\": true, \"path\": " + QuoteAll(path) + "}");
}

int Choose(HWND tree, RemoteItem& remote, int count, wchar_t** names) {
  HTREEITEM level = Next(tree, TVGN_ROOT, nullptr);
  HTREEITEM chosen = nullptr;
  for (int i = 0; i < count; ++i) {
    std::vector<std::wstring> choices;
    chosen = nullptr;
    for (HTREEITEM item = level; item; item = Next(tree, TVGN_NEXT, item)) {
      std::wstring text;
      if (!remote.Text(item, text)) return Failure(L"cannot read an item's text");
      if (text == names[i]) {
        chosen = item;
        break;
      }
      choices.push_back(text);
    }
    if (!chosen) return Failure(std::wstring(L"no item named ") + names[i], choices);
    if (i + 1 < count) {
      // Opening an item is what makes the dialog fill in its children.
      Send(tree, TVM_EXPAND, TVE_EXPAND, chosen);
      level = Next(tree, TVGN_CHILD, chosen);
    }
  }
  Send(tree, TVM_ENSUREVISIBLE, 0, chosen);
  if (!Send(tree, TVM_SELECTITEM, TVGN_CARET, chosen)) {
    return Failure(L"the tree refused the selection");
  }
  return Selection(tree, remote);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return Failure(L"usage: FolderDialog selection|choose TREE [TEXT...]");
  std::wstring command = argv[1];
  HWND tree = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoull(argv[2], nullptr, 0)));
  if (!::IsWindow(tree)) return Failure(L"no such window");
  RemoteItem remote(tree);
  if (!remote.Usable()) return Failure(L"no memory in the tree's process");
  if (command == L"selection") return Selection(tree, remote);
  if (command == L"choose" && argc > 3) return Choose(tree, remote, argc - 3, argv + 3);
  return Failure(L"unknown command: " + command);
}
