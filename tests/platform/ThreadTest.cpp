// Threads of the platform layer: the procedure runs at once, on a thread of its own, with its
// argument.
#include "Thread.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

struct Probe {
    std::promise<std::thread::id> ran;
};

UINT Record(LPVOID param)
{
    static_cast<Probe*>(param)->ran.set_value(std::this_thread::get_id());
    return 0;
}

TEST(Thread, TheProcedureRunsOnAThreadOfItsOwnWithItsArgument)
{
    for (int i = 0; i < 3; ++i) {
        Probe probe;
        std::future<std::thread::id> ran = probe.ran.get_future();
        EXPECT_NE(AfxBeginThread(Record, &probe), nullptr);
        ASSERT_EQ(ran.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_NE(ran.get(), std::this_thread::get_id());
    }
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

} // namespace
