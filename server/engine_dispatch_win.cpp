#include "server/engine_dispatch.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/com_ptr.h"
#include "server/guids.h"

namespace server {
namespace {

std::mutex g_dispatchMutex;
// Kept for the life of the process once loaded; a failed load is tried again.
ITypeInfo* g_typeInfo = nullptr;
std::map<std::u16string, DISPID> g_dispidCache;

HRESULT LoadTypeInfo(ITypeInfo** info) {
    std::lock_guard<std::mutex> lock(g_dispatchMutex);
    if (g_typeInfo == nullptr) {
        ITypeLib* library = nullptr;
        HRESULT hr = LoadRegTypeLib(kLibidDravikEngineLib, 3, 1, 0x0409, &library);
        if (FAILED(hr)) {
            return hr;
        }
        ComPtr<ITypeLib> owner(library);
        hr = library->GetTypeInfoOfGuid(kIidIQNSTranslationEngine, &g_typeInfo);
        if (FAILED(hr)) {
            g_typeInfo = nullptr;
            return hr;
        }
    }
    g_typeInfo->AddRef();
    *info = g_typeInfo;
    return S_OK;
}

}  // namespace

HRESULT EngineTypeInfo(ITypeInfo** info) {
    return LoadTypeInfo(info);
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
    ITypeInfo* raw = nullptr;
    HRESULT hr = LoadTypeInfo(&raw);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> info(raw);
    hr = info->GetIDsOfNames(names, count, ids);
    if (SUCCEEDED(hr) && count == 1) {
        std::lock_guard<std::mutex> lock(g_dispatchMutex);
        g_dispidCache.emplace(FoldMemberName(names[0]), ids[0]);
    }
    return hr;
}

HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    ITypeInfo* raw = nullptr;
    const HRESULT hr = LoadTypeInfo(&raw);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> info(raw);
    return info->Invoke(engine, id, flags, params, result, exception, argumentError);
}

}  // namespace server
