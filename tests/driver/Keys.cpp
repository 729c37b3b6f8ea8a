#include "Keys.h"

#include <cctype>
#include <map>

namespace {

const std::map<std::string, WORD>& KeyNames() {
  static const std::map<std::string, WORD> names = {
      {"tab", VK_TAB},       {"space", VK_SPACE}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
      {"left", VK_LEFT},     {"right", VK_RIGHT}, {"up", VK_UP},        {"down", VK_DOWN},
      {"home", VK_HOME},     {"end", VK_END},     {"f4", VK_F4},        {"backspace", VK_BACK},
      {"delete", VK_DELETE}, {"shift", VK_SHIFT}, {"ctrl", VK_CONTROL}, {"alt", VK_MENU},
  };
  return names;
}

INPUT KeyEvent(WORD key, bool release) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  return input;
}

bool KeyByName(const std::string& name, WORD& key) {
  auto found = KeyNames().find(name);
  if (found != KeyNames().end()) {
    key = found->second;
    return true;
  }
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return true;
  }
  return false;
}

}  // namespace

std::vector<INPUT> KeyChord(const std::string& chord) {
  std::vector<WORD> keys;
  size_t start = 0;
  while (start <= chord.size()) {
    size_t plus = chord.find('+', start);
    std::string name = chord.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    WORD key = 0;
    if (!KeyByName(name, key)) return {};
    keys.push_back(key);
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(KeyEvent(key, false));
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) inputs.push_back(KeyEvent(*key, true));
  return inputs;
}
