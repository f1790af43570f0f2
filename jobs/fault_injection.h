// Lets tests make the next creation of a worker thread, an event or a job's
// back-end client fail, so that the paths only resource exhaustion takes can
// be exercised.
#pragma once

enum class InjectedFault { ThreadCreation, EventCreation, ClientCreation };

// Makes the next creation of that kind fail once.
void InjectFault(InjectedFault fault);
// True, and disarmed, when a failure of that kind was injected.
bool TakeInjectedFault(InjectedFault fault);
