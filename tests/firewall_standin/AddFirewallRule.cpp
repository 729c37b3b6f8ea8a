// Adds one firewall rule through the Windows Firewall objects, as an installer would, so that a
// test can see what the registered objects make of it. Each argument is Property=Value, set in
// the order given; Name, Description and ApplicationName take text, Protocol, Direction, Action
// and Enabled numbers. Prints the results of the calls as one JSON line:
//   {"policy": hr, "rules": hr, "rule": hr, "sets": [hr, ...], "add": hr}
#include <windows.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr CLSID kNetFwPolicy2 = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr IID kINetFwPolicy2 = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
constexpr CLSID kNetFwRule = {0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};
constexpr IID kINetFwRule = {0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};

HRESULT SetProperty(INetFwRule& rule, const std::wstring& property, const std::wstring& value) {
  LONG number = std::wcstol(value.c_str(), nullptr, 0);
  if (property == L"Protocol") return rule.put_Protocol(number);
  if (property == L"Direction") return rule.put_Direction(static_cast<NET_FW_RULE_DIRECTION>(number));
  if (property == L"Action") return rule.put_Action(static_cast<NET_FW_ACTION>(number));
  if (property == L"Enabled") return rule.put_Enabled(static_cast<VARIANT_BOOL>(number));
  BSTR text = ::SysAllocString(value.c_str());
  HRESULT result = E_INVALIDARG;
  if (property == L"Name") result = rule.put_Name(text);
  if (property == L"Description") result = rule.put_Description(text);
  if (property == L"ApplicationName") result = rule.put_ApplicationName(text);
  ::SysFreeString(text);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INetFwPolicy2* policy = nullptr;
  INetFwRules* rules = nullptr;
  INetFwRule* rule = nullptr;
  HRESULT policyResult = ::CoCreateInstance(kNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER,
                                            kINetFwPolicy2, reinterpret_cast<void**>(&policy));
  HRESULT rulesResult = E_FAIL;
  if (SUCCEEDED(policyResult)) rulesResult = policy->get_Rules(&rules);
  HRESULT ruleResult = ::CoCreateInstance(kNetFwRule, nullptr, CLSCTX_INPROC_SERVER, kINetFwRule,
                                          reinterpret_cast<void**>(&rule));
  std::string sets;
  HRESULT addResult = E_FAIL;
  if (SUCCEEDED(ruleResult)) {
    for (int i = 1; i < argc; ++i) {
      std::wstring argument = argv[i];
      size_t equals = argument.find(L'=');
      HRESULT result = equals == std::wstring::npos
                           ? E_INVALIDARG
                           : SetProperty(*rule, argument.substr(0, equals), argument.substr(equals + 1));
      sets += (sets.empty() ? "" : ", ") + std::to_string(static_cast<long>(result));
    }
    if (rules) addResult = rules->Add(rule);
    rule->Release();
  }
  if (rules) rules->Release();
  if (policy) policy->Release();
  std::printf("{\"policy\": %ld, \"rules\": %ld, \"rule\": %ld, \"sets\": [%s], \"add\": %ld}\n",
              static_cast<long>(policyResult), static_cast<long>(rulesResult),
              static_cast<long>(ruleResult), sets.c_str(), static_cast<long>(addResult));
  ::CoUninitialize();
  return 0;
}
