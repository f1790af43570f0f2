#include "server/engine_dispatch.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/com_ptr.h"
#include "server/guids.h"

namespace server {
namespace {

std::mutex g_dispatchMutex;
// The process's own reference, taken once loaded and never given back: the
// process may end after COM has gone. A failed load is tried again.
ITypeInfo* g_typeInfo = nullptr;
std::map<std::u16string, DISPID> g_dispidCache;

HRESULT LoadTypeInfo(ComPtr<ITypeInfo>& info) {
    std::lock_guard<std::mutex> lock(g_dispatchMutex);
    if (g_typeInfo == nullptr) {
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadRegTypeLib(kLibidDravikEngineLib, 3, 1, 0x0409, library.put());
        if (FAILED(hr)) {
            return hr;
        }
        ComPtr<ITypeInfo> loaded;
        hr = library->GetTypeInfoOfGuid(kIidIQNSTranslationEngine, loaded.put());
        if (FAILED(hr)) {
            return hr;
        }
        g_typeInfo = loaded.release();
    }
    info = ComPtr<ITypeInfo>::Retain(g_typeInfo);
    return S_OK;
}

}  // namespace

HRESULT EngineTypeInfo(ITypeInfo** info) {
    ComPtr<ITypeInfo> loaded;
    const HRESULT hr = LoadTypeInfo(loaded);
    if (SUCCEEDED(hr)) {
        *info = loaded.release();
    }
    return hr;
}

HRESULT EngineIdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    if (names == nullptr || ids == nullptr) {
        return E_POINTER;
    }
    if (count == 1 && names[0] != nullptr) {
        std::lock_guard<std::mutex> lock(g_dispatchMutex);
        const auto found = g_dispidCache.find(FoldMemberName(names[0]));
        if (found != g_dispidCache.end()) {
            ids[0] = found->second;
            return S_OK;
        }
    }
    ComPtr<ITypeInfo> info;
    HRESULT hr = LoadTypeInfo(info);
    if (FAILED(hr)) {
        return hr;
    }
    hr = info->GetIDsOfNames(names, count, ids);
    if (SUCCEEDED(hr) && count == 1) {
        std::lock_guard<std::mutex> lock(g_dispatchMutex);
        g_dispidCache.emplace(FoldMemberName(names[0]), ids[0]);
    }
    return hr;
}

HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadTypeInfo(info);
    if (FAILED(hr)) {
        return hr;
    }
    return info->Invoke(engine, id, flags, params, result, exception, argumentError);
}

}  // namespace server
