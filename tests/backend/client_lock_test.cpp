#include "backend/client_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/backend/backend_test_support.h"
#include "text/exceptions.h"

namespace {

// A broken lock would let the second thread in while the first holds it.
// The pause only gives such a fault time to show; correct code passes however
// long or short it turns out to be.
TEST(ClientLock, SecondHolderWaitsUntilTheFirstReleases) {
    ClientLock first(OptionsFor(u"de", u"en"));
    std::atomic<bool> trying{false};
    std::atomic<bool> acquired{false};
    std::thread second([&] {
        trying = true;
        ClientLock lock(OptionsFor(u"it", u"en"));
        acquired = true;
        EXPECT_EQ(lock.Client().Options().SourceLanguage(), u"it");
    });
    while (!trying) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(acquired.load());
    EXPECT_EQ(first.Client().Options().SourceLanguage(), u"de");
    first.Release();
    second.join();
    EXPECT_TRUE(acquired.load());
}

TEST(ClientLock, JobsOfSeveralThreadsRunOneAfterAnother) {
    PointedBackend pointed;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int job = 0; job < 5; ++job) {
                ClientLock lock(OptionsFor(u"de", u"en"));
                if (inside.fetch_add(1) != 0) {
                    ++overlaps;
                }
                for (int chunk = 0; chunk < 3; ++chunk) {
                    if (lock.TranslateSegment(u"Hallo Welt") !=
                        u"<Translation>hello world</Translation>\n") {
                        ++wrong;
                    }
                }
                inside.fetch_sub(1);
                lock.Release();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(pointed.backend.RequestCount(), 4u * 5u * 3u);
}

TEST(ClientLock, ReleaseDestroysTheClientAndIsIdempotent) {
    ClientLock lock(OptionsFor(u"de", u"en"));
    EXPECT_TRUE(lock.Held());
    lock.Release();
    EXPECT_FALSE(lock.Held());
    EXPECT_THROW(lock.Client(), StringException);
    EXPECT_THROW(lock.TranslateSegment(u"x"), StringException);
    lock.Release();
    // Released for real: the next holder gets in (a fault here hangs, and the
    // test's time limit reports it).
    ClientLock next(OptionsFor(u"it", u"en"));
    EXPECT_TRUE(next.Held());
}

TEST(ClientLock, DestructorReleasesAHeldLock) {
    { ClientLock scoped(OptionsFor(u"de", u"en")); }
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        ClientLock lock(OptionsFor(u"de", u"en"));
        acquired = true;
    });
    other.join();
    EXPECT_TRUE(acquired.load());
}

TEST(ClientLock, ClientHoldsACopyOfTheOptions) {
    TranslationOptions options = OptionsFor(u"ar", u"en");
    ClientLock lock(options);
    options.SetFromText(u"");
    EXPECT_EQ(lock.Client().Options().SourceLanguage(), u"ar");
    EXPECT_EQ(lock.Client().Options().TranslationLanguage(), u"en");
}

}  // namespace
