#include "jobs/host_interfaces.h"

#ifdef _WIN32
// The generated header only declares the identifiers; they are defined here
// from the constants of jobs/host_interfaces.h.
extern "C" const IID IID_ITranslationSource = kIidITranslationSource;
extern "C" const IID IID_ITranslationSink = kIidITranslationSink;
#endif
