// A recording stand-in for the Windows Firewall objects NetFwPolicy2 and NetFwRule, for tests
// only. Wine accepts firewall rules but keeps none, so a test registers this DLL in its prefix
// in place of the system's objects. Every rule added to the rule collection is appended to a
// record file as one JSON line, with its properties in the order they were set:
//   {"process": "C:\\...\\setup.exe", "properties": [["Name", "..."], ["Protocol", 256], ...]}
// The file is named by the environment variable CORVANTA_FIREWALL_RECORD (a Windows path), or
// is C:\ProgramData\corvanta-firewall-rules.jsonl when that is not set. A rule whose name is the
// value of CORVANTA_FIREWALL_REFUSE is refused with E_ACCESSDENIED, as a service that may not add
// it would, and is not recorded.
#include <windows.h>
#include <netfw.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Json.h"
#include "common/RecordFile.h"

namespace {

// The identifiers, named here so that nothing depends on an SDK's uuid library.
constexpr CLSID kNetFwPolicy2 = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr CLSID kNetFwRule = {0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};
constexpr IID kINetFwPolicy2 = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
constexpr IID kINetFwRules = {0x9C4C6277, 0x5027, 0x441E, {0xAF, 0xAE, 0xCA, 0x1F, 0x54, 0x2D, 0xA0, 0x09}};
constexpr IID kINetFwRule = {0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};
constexpr IID kIUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Private: lets the collection recognise a rule object of this DLL and read what it recorded.
constexpr IID kRecordingRule = {0x6D3B1F52, 0x1C7E, 0x4B0A, {0x9E, 0x41, 0x37, 0x5A, 0xC2, 0x88, 0x0F, 0x13}};

constexpr wchar_t kRecordVariable[] = L"CORVANTA_FIREWALL_RECORD";
constexpr wchar_t kDefaultRecord[] = L"C:\\ProgramData\\corvanta-firewall-rules.jsonl";
constexpr wchar_t kRefuseVariable[] = L"CORVANTA_FIREWALL_REFUSE";

std::string Utf8(const wchar_t* text, int length) {
  if (!text || length <= 0) return std::string();
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], size, nullptr, nullptr);
  return result;
}

// Texts are recorded as UTF-8, escaping control characters only.
std::string JsonText(const std::string& utf8) { return json::Quote(utf8, json::kKeepUtf8); }

std::string JsonText(BSTR text) {
  return JsonText(Utf8(text, text ? static_cast<int>(::SysStringLen(text)) : 0));
}

std::wstring RecordPath() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetEnvironmentVariableW(kRecordVariable, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kDefaultRecord;
  return path;
}

// The name of the rule to refuse, as the rule records it; empty when none is refused.
std::string RefusedName() {
  wchar_t name[MAX_PATH] = {};
  DWORD length = ::GetEnvironmentVariableW(kRefuseVariable, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return JsonText(Utf8(name, static_cast<int>(length)));
}

std::string OwnProcessPath() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Utf8(path, static_cast<int>(length));
}

LONG g_objects = 0;

// IUnknown and IDispatch for one interface; IDispatch is not needed by the programs under test.
template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject() { ::InterlockedIncrement(&g_objects); }
  virtual ~ComObject() { ::InterlockedDecrement(&g_objects); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == kIUnknown || iid == kIDispatch || iid == OwnIid()) {
      *object = static_cast<Interface*>(this);
    } else if (!(*object = OtherInterface(iid))) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  virtual const IID& OwnIid() const = 0;
  virtual void* OtherInterface(REFIID) { return nullptr; }

 private:
  LONG references_ = 1;
};

// A rule object: every property set is remembered with its value, in the order of the calls.
class RecordingRule : public ComObject<INetFwRule> {
 public:
  std::string Line() const {
    std::string line = "{\"process\": " + JsonText(OwnProcessPath()) + ", \"properties\": [";
    for (size_t i = 0; i < properties_.size(); ++i) {
      if (i) line += ", ";
      line += "[" + JsonText(properties_[i].first) + ", " + properties_[i].second + "]";
    }
    return line + "]}\n";
  }

  bool Named(const std::string& nameJson) const {
    for (const auto& property : properties_) {
      if (property.first == "Name") return property.second == nameJson;
    }
    return false;
  }

  HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override { return Set("Name", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_Description(BSTR value) override { return Set("Description", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR value) override { return Set("ApplicationName", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_ServiceName(BSTR value) override { return Set("ServiceName", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_Protocol(LONG value) override { return Set("Protocol", json::Number(value)); }
  HRESULT STDMETHODCALLTYPE put_LocalPorts(BSTR value) override { return Set("LocalPorts", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_RemotePorts(BSTR value) override { return Set("RemotePorts", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_LocalAddresses(BSTR value) override { return Set("LocalAddresses", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR value) override { return Set("RemoteAddresses", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_IcmpTypesAndCodes(BSTR value) override { return Set("IcmpTypesAndCodes", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_Direction(NET_FW_RULE_DIRECTION value) override { return Set("Direction", json::Number(value)); }
  // Only the variant's type is kept: no program under test sets interfaces.
  HRESULT STDMETHODCALLTYPE put_Interfaces(VARIANT value) override {
    return Set("Interfaces", "{\"vt\": " + json::Number(value.vt) + "}");
  }
  HRESULT STDMETHODCALLTYPE put_InterfaceTypes(BSTR value) override { return Set("InterfaceTypes", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override { return Set("Enabled", json::Number(value)); }
  HRESULT STDMETHODCALLTYPE put_Grouping(BSTR value) override { return Set("Grouping", JsonText(value)); }
  HRESULT STDMETHODCALLTYPE put_Profiles(LONG value) override { return Set("Profiles", json::Number(value)); }
  HRESULT STDMETHODCALLTYPE put_EdgeTraversal(VARIANT_BOOL value) override { return Set("EdgeTraversal", json::Number(value)); }
  HRESULT STDMETHODCALLTYPE put_Action(NET_FW_ACTION value) override { return Set("Action", json::Number(value)); }

  // Reading back is not needed by the programs under test.
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Description(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ServiceName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Protocol(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LocalPorts(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RemotePorts(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LocalAddresses(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IcmpTypesAndCodes(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Direction(NET_FW_RULE_DIRECTION*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Interfaces(VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_InterfaceTypes(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Grouping(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Profiles(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_EdgeTraversal(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Action(NET_FW_ACTION*) override { return E_NOTIMPL; }

 protected:
  const IID& OwnIid() const override { return kINetFwRule; }
  void* OtherInterface(REFIID iid) override { return iid == kRecordingRule ? this : nullptr; }

 private:
  HRESULT Set(const char* property, std::string valueJson) {
    properties_.emplace_back(property, std::move(valueJson));
    return S_OK;
  }

  std::vector<std::pair<std::string, std::string>> properties_;
};

class RecordingRules : public ComObject<INetFwRules> {
 public:
  HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override {
    if (!rule) return E_POINTER;
    void* recording = nullptr;
    // A rule object from anywhere else could not say what was set on it.
    if (FAILED(rule->QueryInterface(kRecordingRule, &recording))) return E_INVALIDARG;
    auto* own = static_cast<RecordingRule*>(static_cast<INetFwRule*>(recording));
    const std::string refused = RefusedName();
    const bool refuse = !refused.empty() && own->Named(refused);
    if (!refuse) AppendRecord(RecordPath().c_str(), own->Line());
    own->Release();
    return refuse ? E_ACCESSDENIED : S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Remove(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Item(BSTR, INetFwRule**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 protected:
  const IID& OwnIid() const override { return kINetFwRules; }
};

class RecordingPolicy : public ComObject<INetFwPolicy2> {
 public:
  HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** rules) override {
    if (!rules) return E_POINTER;
    *rules = new RecordingRules();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ServiceRestriction(INetFwServiceRestriction**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnableRuleGroup(LONG, BSTR, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRuleGroupEnabled(LONG, BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RestoreLocalFirewallDefaults() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsRuleGroupCurrentlyEnabled(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LocalPolicyModifyState(NET_FW_MODIFY_STATE*) override { return E_NOTIMPL; }

 protected:
  const IID& OwnIid() const override { return kINetFwPolicy2; }
};

// One factory per class; it lives as long as the DLL, so its reference count is not kept.
template <typename Object>
class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == kIUnknown || iid == kIClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Object* created = new Object();
    HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory<RecordingPolicy> g_policyFactory;
Factory<RecordingRule> g_ruleFactory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid,
                                                                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid == kNetFwPolicy2) return g_policyFactory.QueryInterface(iid, object);
  if (clsid == kNetFwRule) return g_ruleFactory.QueryInterface(iid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_objects == 0 ? S_OK : S_FALSE;
}
