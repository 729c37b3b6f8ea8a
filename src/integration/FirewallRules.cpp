#include "FirewallRules.h"

#include <windows.h>
#include <netfw.h>
#include <objbase.h>
#include <wrl/client.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "integration/ComText.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"
#include "framework/SupportLog.h"

using Microsoft::WRL::ComPtr;

namespace {

// The Windows Firewall objects, named here so that nothing depends on an SDK's uuid library.
constexpr CLSID kNetFwPolicy2 = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr IID kINetFwPolicy2 = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
constexpr CLSID kNetFwRule = {0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};
constexpr IID kINetFwRule = {0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};

constexpr LONG kAnyProtocol = 256;
constexpr char kInboundRule[] = "Corvanta - inbound";
constexpr char kOutboundRule[] = "Corvanta - outbound";

// The rule collection, or null with the failure in result.
ComPtr<INetFwRules> OpenRuleCollection(ComPtr<INetFwPolicy2>& policy, HRESULT& result) {
  ComPtr<INetFwRules> rules;
  result = ::CoCreateInstance(kNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, kINetFwPolicy2,
                              reinterpret_cast<void**>(policy.GetAddressOf()));
  if (FAILED(result)) return rules;
  result = policy->get_Rules(rules.GetAddressOf());
  if (FAILED(result)) rules.Reset();
  return rules;
}

void LogRule(const char* name, HRESULT result) {
  support_log::Write({"Firewall rule \"", name, "\": ", support_log::Hex(result)});
}

void LogRulesNotAdded(std::initializer_list<const char*> names, HRESULT result) {
  for (const char* name : names) {
    support_log::Write({"Firewall rule \"", name,
                        "\" not added, no firewall objects: ", support_log::Hex(result)});
  }
}

// Creates one allow rule for any protocol and adds it. The property results are ignored: a rule
// the service refuses is simply not there. Returns the result of Add, or of creating the rule.
HRESULT AddAllowRule(INetFwRules& rules, const char* name, const WideText& application,
                     NET_FW_RULE_DIRECTION direction) {
  ComPtr<INetFwRule> rule;
  HRESULT created = ::CoCreateInstance(kNetFwRule, nullptr, CLSCTX_INPROC_SERVER, kINetFwRule,
                                       reinterpret_cast<void**>(rule.GetAddressOf()));
  if (FAILED(created)) return created;
  Bstr ruleName(::SysAllocString(Utf16FromAnsi(name).data()));
  Bstr applicationName(::SysAllocString(application.data()));
  rule->put_Name(ruleName.get());
  rule->put_ApplicationName(applicationName.get());
  rule->put_Protocol(kAnyProtocol);
  rule->put_Direction(direction);
  rule->put_Action(NET_FW_ACTION_ALLOW);
  rule->put_Enabled(VARIANT_TRUE);
  return rules.Add(rule.Get());
}

// The setup's own path as Windows holds it, so that no character is lost to the code page.
WideText OwnExecutablePath() {
  WideText buffer(MAX_PATH);
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return WideText(1, L'\0');
    if (length < buffer.size()) {
      buffer.resize(static_cast<size_t>(length) + 1);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

void AddOwnFirewallRule() {
  try {
    if (OwnRuleAdded) return;
    const WideText path = OwnExecutablePath();
    ComPtr<INetFwPolicy2> policy;
    HRESULT result = S_OK;
    ComPtr<INetFwRules> rules = OpenRuleCollection(policy, result);
    if (!rules) {
      // No firewall service, or no rights: the install goes on.
      return LogRulesNotAdded({product::kSetupName}, result);
    }
    result = AddAllowRule(*rules.Get(), product::kSetupName, path, NET_FW_RULE_DIR_OUT);
    LogRule(product::kSetupName, result);
    if (SUCCEEDED(result)) OwnRuleAdded = true;
  } catch (...) {
    support_log::Discarded("AddOwnFirewallRule");
    // Firewall rules are a convenience: the install goes on without them.
  }
}

void AddProgramFirewallRules() {
  try {
    const WideText program = Utf16FromAnsi(InstallDir + product::kExecutableName);
    ComPtr<INetFwPolicy2> policy;
    HRESULT result = S_OK;
    ComPtr<INetFwRules> rules = OpenRuleCollection(policy, result);
    if (!rules) {
      // No firewall service, or no rights: the install goes on.
      return LogRulesNotAdded({kInboundRule, kOutboundRule}, result);
    }
    LogRule(kInboundRule, AddAllowRule(*rules.Get(), kInboundRule, program, NET_FW_RULE_DIR_IN));
    LogRule(kOutboundRule, AddAllowRule(*rules.Get(), kOutboundRule, program, NET_FW_RULE_DIR_OUT));
  } catch (...) {
    support_log::Discarded("AddProgramFirewallRules");
    // Firewall rules are a convenience: the install goes on without them.
  }
}
