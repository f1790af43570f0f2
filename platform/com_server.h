// What a COM server and its clients need beyond platform/com.h: the class
// factory and error-info interfaces, class-object registration and
// activation. Natively, activation is in-process: a class object registered
// with CoRegisterClassObject is found by CoCreateInstance, and ProgIDs are
// looked up in the native registry store as Windows looks them up.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"

#ifdef _WIN32
#include <ole2.h>
#include <oaidl.h>
#else

inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

class IClassFactory : public IUnknown {
  public:
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;

  protected:
    ~IClassFactory() = default;
};

class ISupportErrorInfo : public IUnknown {
  public:
    virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) = 0;

  protected:
    ~ISupportErrorInfo() = default;
};

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_ALL = 0x17;
inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
inline constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);
inline constexpr HRESULT CO_E_SERVER_STOPPING = static_cast<HRESULT>(0x80080008u);

// Class-object table of the process. A suspended table answers no activation
// until the objects are registered again.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags,
                              DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
HRESULT CoSuspendClassObjects();
HRESULT CoResumeClassObjects();
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid,
                         void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
// HKEY_CLASSES_ROOT\<ProgID>\CLSID of the registry store.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
#endif

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry holds it.
std::string GuidToRegistryString(const GUID& guid);
// Reads that form back (braces required, either letter case).
bool GuidFromRegistryString(std::string_view text, GUID& guid);
