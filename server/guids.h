// Every fixed identifier of the engine; engine.idl and engine.rgs repeat
// them. The host interfaces it calls have theirs in jobs/host_interfaces.h.
#pragma once

#include "platform/com.h"

// The engine's type library DravikEngineLib (server/engine.idl).
inline constexpr GUID kLibidDravikEngineLib = {
    0x476D6E03, 0x7B59, 0x45C6, {0x9A, 0xE8, 0xA1, 0x45, 0x04, 0x99, 0x80, 0x36}};
// IQNSTranslationEngine (server/engine.idl).
inline constexpr IID kIidIQNSTranslationEngine = {
    0x0B0EC51E, 0x0CD2, 0x4F0A, {0x8D, 0x97, 0x13, 0x8A, 0xEB, 0xE0, 0x55, 0x0E}};
// The class TranslationEngine (server/engine.idl, server/engine.rgs).
inline constexpr CLSID kClsidTranslationEngine = {
    0x0788BA58, 0x68FD, 0x4AB5, {0x95, 0x89, 0x3E, 0x38, 0x78, 0x0B, 0x8A, 0x97}};
// The server's application identifier (server/engine.rgs).
inline constexpr GUID kAppIdTranslationEngine = {
    0xDD39500E, 0xDEAD, 0x4CA4, {0xBF, 0x68, 0x87, 0x31, 0x7C, 0x4E, 0x61, 0x34}};
