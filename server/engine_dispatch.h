// Late-bound (IDispatch) access to IQNSTranslationEngine. The Windows build
// serves it from the registered type library, loaded once per process; the
// native build, which has no type library, from a table of the six members.
#pragma once

#include "platform/com.h"
#include "server/engine_interface.h"

namespace server {

HRESULT EngineTypeInfo(ITypeInfo** info);
HRESULT EngineIdsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
HRESULT EngineInvoke(IQNSTranslationEngine* engine, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

}  // namespace server
