#include <gtest/gtest.h>

#include "jobs/fault_injection.h"
#include "jobs/ole_call_thread.h"
#include "jobs/thread.h"
#include "jobs/translate_call.h"
#include "tests/jobs/job_probes.h"
#include "text/exceptions.h"

using namespace jobs_test;

TEST(Thread, RunsOnStartAndRunInTheApartmentAndEndsFinished) {
    Probe probe;
    auto* job = new ProbeJob(probe, {});
    EXPECT_EQ(job->State(), ThreadState::Created);
    EXPECT_EQ(RunToEnd(job), ThreadState::Finished);
    EXPECT_EQ(probe.started, 1);
    EXPECT_EQ(probe.ran, 1);
    EXPECT_EQ(probe.apartmentInRun, S_FALSE);  // already joined by OnStart
    EXPECT_EQ(probe.destroyed, 1);
}

TEST(Thread, AFailingStepStillWakesTheCreatorAndDestroysTheJobOnce) {
    struct Case {
        const char* name;
        Behaviour behaviour;
        int ran;
    };
    const Case cases[] = {
        {"Run raises", Behaviour{.throwInRun = true}, 1},
        {"OnStart raises", Behaviour{.throwInOnStart = true}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probe probe;
        EXPECT_EQ(RunToEnd(new ProbeJob(probe, c.behaviour)), ThreadState::Failed);
        EXPECT_EQ(probe.ran, c.ran);
        EXPECT_EQ(probe.destroyed, 1);
    }
}

TEST(Thread, CreatorReleasingFirstLeavesTheDestructionToTheWorker) {
    Probe probe;
    UniqueHandle exitGate = ManualEvent();
    auto* job = new ProbeJob(probe, Behaviour{.exitGate = exitGate.get()});
    job->AddRef();
    ASSERT_TRUE(job->Resume());
    // The worker signals the done event and then waits in OnExit, before its release.
    ASSERT_TRUE(job->WaitForCompletion());
    EXPECT_EQ(job->Release(), 1);
    EXPECT_EQ(probe.destroyed, 0);

    SetEvent(exitGate.get());
    ASSERT_EQ(WaitForSingleObject(probe.destroyedEvent.get(), kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(probe.destroyed, 1);
}

TEST(Thread, WorkerReleasingFirstLeavesTheDestructionToTheCreator) {
    Probe probe;
    auto* job = new ProbeJob(probe, {});
    job->AddRef();
    ASSERT_TRUE(job->Resume());
    ASSERT_TRUE(job->WaitForCompletion());
    ASSERT_EQ(WaitForSingleObject(job->Handle(), kGuardMs), WAIT_OBJECT_0);
    EXPECT_EQ(probe.destroyed, 0);
    EXPECT_EQ(job->Release(), 0);
    EXPECT_EQ(probe.destroyed, 1);
}

TEST(Thread, AbortFailsTheThreadForGood) {
    Probe probe;
    auto* job = new ProbeJob(probe, {});
    job->Abort();
    EXPECT_EQ(probe.aborted, 1);
    EXPECT_EQ(job->State(), ThreadState::Failed);
    // Run succeeds, yet neither the start nor the exit leaves the failed state.
    EXPECT_EQ(RunToEnd(job), ThreadState::Failed);
    EXPECT_EQ(probe.ran, 1);
}

TEST(Thread, NoThreadMeansNoJobAndAFailureCode) {
    Probe probe;
    InjectFault(InjectedFault::ThreadCreation);
    try {
        ProbeJob job(probe, {});
        FAIL() << "the job was built without a thread";
    } catch (const HResultException& error) {
        EXPECT_EQ(error.Result(), E_FAIL);
    }
    InjectFault(InjectedFault::ThreadCreation);
    EXPECT_EQ(RunJob([&]() -> OLECallThread* { return new ProbeJob(probe, {}); }), E_FAIL);
    EXPECT_EQ(probe.started, 0);
    EXPECT_EQ(probe.destroyed, 0);  // never fully built
}

// The OS thread exists once the base constructor has run. When a later step
// throws, the object's memory is freed at once: the suspended thread must end
// without ever reaching it (the sanitizer builds catch any access).
TEST(Thread, ALaterConstructorFailureLetsTheSuspendedThreadGoUntouched) {
    struct Case {
        const char* name;
        InjectedFault* fault;
        Behaviour behaviour;
        HRESULT expected;
    };
    InjectedFault eventFault = InjectedFault::EventCreation;
    const Case cases[] = {
        {"done event cannot be created",
         &eventFault,
         {},
         HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
        {"subclass constructor raises", nullptr, Behaviour{.throwInConstructor = true}, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probe probe;
        for (int round = 0; round < 20; ++round) {
            if (c.fault != nullptr) {
                InjectFault(*c.fault);
            }
            EXPECT_EQ(RunJob([&]() -> OLECallThread* { return new ProbeJob(probe, c.behaviour); }),
                      c.expected);
        }
        EXPECT_EQ(probe.started, 0);
        EXPECT_EQ(probe.ran, 0);
    }
}

TEST(Thread, EventCreationFailureNamesTheCall) {
    Probe probe;
    InjectFault(InjectedFault::EventCreation);
    try {
        ProbeJob job(probe, {});
        FAIL() << "the job was built without its done event";
    } catch (const SystemErrorException& error) {
        EXPECT_EQ(error.Function(), "CreateEvent");
        EXPECT_EQ(error.Error(), ERROR_NOT_ENOUGH_MEMORY);
    }
}
