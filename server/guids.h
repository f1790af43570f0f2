// Every fixed identifier of the engine and of the host interfaces it calls.
// The IDL files repeat these values in their uuid() attributes; tests check
// that both agree.
#pragma once

#include "platform/com.h"

// ITranslationSource (jobs/host_interfaces.idl).
inline constexpr IID kIidITranslationSource = {
    0xD121507B, 0x7F0D, 0x47A1, {0xAE, 0x18, 0x86, 0x74, 0x40, 0xBB, 0x47, 0x47}};
// ITranslationSink (jobs/host_interfaces.idl).
inline constexpr IID kIidITranslationSink = {
    0xAE036A25, 0x5D8D, 0x48ED, {0xA9, 0x92, 0x04, 0x15, 0xB2, 0x65, 0xE1, 0x5F}};
