#include <gtest/gtest.h>

#include <thread>

#include "jobs/fault_injection.h"
#include "jobs/signal_event.h"
#include "tests/jobs/job_probes.h"
#include "text/exceptions.h"

using namespace jobs_test;

TEST(SignalEvent, StartsUnsignalledAndEachSignalServesOneWait) {
    SignalEvent event;
    ASSERT_NE(event.Handle(), nullptr);
    EXPECT_EQ(event.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(event.Handle());
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));

    std::thread signaller([&event] { SetEvent(event.Handle()); });
    EXPECT_EQ(event.Wait(kGuardMs), WAIT_OBJECT_0);
    signaller.join();
}

TEST(SignalEvent, WaitAfterCloseFailsInsteadOfWaitingAgain) {
    SignalEvent event;
    event.Close();
    EXPECT_EQ(event.Handle(), nullptr);
    EXPECT_EQ(event.Wait(INFINITE), WAIT_FAILED);
    event.Close();  // a second close does nothing
}

TEST(SignalEvent, CreationFailureRaisesTheSystemError) {
    InjectFault(InjectedFault::EventCreation);
    try {
        SignalEvent event;
        FAIL() << "an event was created";
    } catch (const SystemErrorException& error) {
        EXPECT_EQ(error.Function(), "CreateEvent");
        EXPECT_EQ(error.Error(), ERROR_NOT_ENOUGH_MEMORY);
    }
}
