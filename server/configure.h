// The Configure command: marks this program's registered translation
// directions whose back-end model folder is missing with "Suppress".
#pragma once

namespace server {

// Walks the host's engine list under HKEY_LOCAL_MACHINE and writes REG_DWORD
// "Suppress" (1 = model folder missing, 0 = present) into every engine key
// whose ProgID belongs to this program. Throws RegistryKeyMissing when an
// engine key cannot be opened for writing; engines handled before keep their
// new value.
void Configure();

}  // namespace server
