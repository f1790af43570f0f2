#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>

#include "host_interfaces_idl_text.h"  // kHostInterfacesIdl, generated from the IDL
#include "jobs/host_interfaces.h"
#include "jobs/memory_translation_sink.h"
#include "jobs/memory_translation_source.h"
#include "jobs/signal_event.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"
#include "tests/jobs/host_fakes.h"

using namespace jobs_test;

namespace {

std::string Format(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

// The uuid() of every interface the IDL defines, by interface name.
std::map<std::string, std::string> IdlInterfaceIds() {
    std::map<std::string, std::string> ids;
    const std::string idl(kHostInterfacesIdl);
    const std::regex pattern(R"(uuid\(([0-9A-Fa-f-]+)\)[^\]]*\]\s*interface\s+(\w+))");
    for (auto it = std::sregex_iterator(idl.begin(), idl.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        std::string id = (*it)[1];
        for (char& c : id) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        ids[(*it)[2]] = id;
    }
    return ids;
}

// Calls entry `slot` (counted from 1) of an interface's vtable directly, as a
// caller in another module would.
template <typename Function>
Function Slot(void* interfacePointer, int slot) {
    void** table = *static_cast<void***>(interfacePointer);
    return reinterpret_cast<Function>(table[slot - 1]);
}

}  // namespace

TEST(HostInterfaces, IdlAndGuidHeaderNameTheSameIdentifiers) {
    const auto ids = IdlInterfaceIds();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids.at("ITranslationSource"), Format(kIidITranslationSource));
    EXPECT_EQ(ids.at("ITranslationSink"), Format(kIidITranslationSink));
    EXPECT_TRUE(IsEqualGUID(IID_ITranslationSource, kIidITranslationSource));
    EXPECT_TRUE(IsEqualGUID(IID_ITranslationSink, kIidITranslationSink));
    EXPECT_FALSE(IsEqualGUID(kIidITranslationSource, kIidITranslationSink));
#ifdef _WIN32
    // What widl generated from the IDL agrees as well.
    EXPECT_TRUE(IsEqualGUID(__uuidof(ITranslationSource), kIidITranslationSource));
    EXPECT_TRUE(IsEqualGUID(__uuidof(ITranslationSink), kIidITranslationSink));
#endif
}

TEST(HostInterfaces, OperationsSitInTheirVtableSlots) {
    using ReadChunkFn = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
    using WriteChunkFn = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR);
    using CompleteFn = HRESULT(STDMETHODCALLTYPE*)(void*, unsigned char);
    using TakeResultFn = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);

    auto source = Hold(new MemoryTranslationSource());
    source->SetText(u"slot");
    ITranslationSource* sourceInterface = source.get();
    UniqueBstr chunk;
    EXPECT_EQ(Slot<ReadChunkFn>(sourceInterface, 8)(sourceInterface, chunk.put()), S_OK);
    EXPECT_EQ(TextUpToNul(chunk.get()), u"slot");

    SignalEvent completion;
    auto sink = Hold(new MemoryTranslationSink(completion.Handle()));
    ITranslationSink* sinkInterface = sink.get();
    const UniqueBstr markup = CopyToBstr(u"<m/>");
    EXPECT_EQ(Slot<WriteChunkFn>(sinkInterface, 8)(sinkInterface, markup.get()), S_OK);
    EXPECT_EQ(Slot<CompleteFn>(sinkInterface, 9)(sinkInterface, 1), S_OK);
    EXPECT_EQ(completion.Wait(0), WAIT_OBJECT_0);
    UniqueBstr result;
    EXPECT_EQ(Slot<TakeResultFn>(sinkInterface, 10)(sinkInterface, result.put()), S_OK);
    EXPECT_EQ(TextUpToNul(result.get()), u"<m/>");
}
