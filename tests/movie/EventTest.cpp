#include "support/TestMovies.h"

#include "movie/Event.h"

#include <thread>

namespace vx::test {
namespace {

using namespace std::chrono_literals;
using Kind = CEvent::Kind;

class EventTest : public MovieTest {};

TEST_F(EventTest, ManualStaysSignalledAutoIsConsumedByItsWait) {
    CEvent manual(Kind::Manual);
    CEvent automatic(Kind::Auto, true);
    EXPECT_FALSE(manual.IsSet());
    manual.Set();
    EXPECT_EQ(CEvent::WaitForAny({&manual}), 0);
    EXPECT_EQ(CEvent::WaitForAny({&manual}), 0);
    manual.Reset();
    EXPECT_EQ(CEvent::WaitForAny({&manual}, 10ms), CEvent::kTimeout);

    EXPECT_EQ(CEvent::WaitForAny({&automatic}), 0);
    EXPECT_FALSE(automatic.IsSet());
    EXPECT_EQ(CEvent::WaitForAny({&automatic}, 10ms), CEvent::kTimeout);
}

TEST_F(EventTest, WaitForAnyReturnsTheLowestAndConsumesOnlyThatOne) {
    CEvent skip(Kind::Manual);
    CEvent one(Kind::Auto);
    CEvent all(Kind::Manual);
    one.Set();
    all.Set();
    EXPECT_EQ(CEvent::WaitForAny({&skip, &one, &all}), 1);
    EXPECT_EQ(CEvent::WaitForAny({&skip, &one, &all}), 2);
    // An auto-reset event that loses to a lower one keeps its signal.
    skip.Set();
    one.Set();
    EXPECT_EQ(CEvent::WaitForAny({&skip, &one, &all}), 0);
    EXPECT_TRUE(one.IsSet());
    skip.Reset();
    EXPECT_EQ(CEvent::WaitForAny({&skip, &one, &all}), 1);
    EXPECT_FALSE(one.IsSet());
}

TEST_F(EventTest, AWaitEndsWhenAnotherThreadSignals) {
    CEvent a(Kind::Auto);
    CEvent b(Kind::Auto);
    std::thread t([&] {
        std::this_thread::sleep_for(20ms);
        b.Set();
    });
    EXPECT_EQ(CEvent::WaitForAny({&a, &b}), 1);
    t.join();
    // Many hand-offs in a row: none lost, none doubled.
    int received = 0;
    std::thread producer([&] {
        for (int i = 0; i < 500; ++i) {
            b.Wait();
            a.Set();
        }
    });
    for (int i = 0; i < 500; ++i) {
        b.Set();
        a.Wait();
        ++received;
    }
    producer.join();
    EXPECT_EQ(received, 500);
    EXPECT_FALSE(a.IsSet());
}

} // namespace
} // namespace vx::test
