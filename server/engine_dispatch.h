// Late-bound (IDispatch) access to IQNSTranslationEngine. The Windows build
// (engine_dispatch_win.cpp) serves it from the registered type library,
// loaded once per process; the native build (engine_dispatch_native.cpp),
// which has no type library, from a table of the six members.
#pragma once

#include <string>

#include "platform/com.h"
#include "server/engine_interface.h"

namespace server {

HRESULT EngineTypeInfo(ITypeInfo** info);
HRESULT EngineIdsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

// A member name as both builds compare it: automation names compare without
// regard to case, so ASCII letters are folded to upper case.
std::u16string FoldMemberName(const OLECHAR* name);

}  // namespace server
