// The process's own command line.
#pragma once

#include "platform/types.h"

#ifndef _WIN32
// The command line as one string, program path first, arguments separated by
// blanks (arguments holding blanks are quoted), as Windows hands it over.
LPSTR GetCommandLineA();
#endif
