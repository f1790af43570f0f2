// The steps of self-registration whose Windows and native forms differ
// (registration_win.cpp, registration_native.cpp); registration.cpp runs
// them in order.
#pragma once

#include "platform/com.h"

namespace server {

// The class key below HKEY_CLASSES_ROOT.
inline constexpr char kClassKeyPath[] = "CLSID\\{0788BA58-68FD-4AB5-9589-3E38780B8A97}";

// Safe for initialising, then safe for scripting.
inline constexpr GUID kImplementedCategories[] = {
    {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}},
    {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}},
};

// Records (or removes) the class's implemented categories.
HRESULT UpdateCategories(bool registerMode);
// Registers the type library the executable carries; unregistering what is
// not registered succeeds.
HRESULT RegisterTypeLibrary();
HRESULT UnregisterTypeLibrary();

}  // namespace server
