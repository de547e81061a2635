// The archive's revision asked once for the requests that wait together, and never an answer
// older than the request.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

#include "shared_answer.h"

namespace {

using kvtweb::SharedAnswer;

// Returns once the given number of requests are in get.
void untilWaiting(SharedAnswer& shared, int count) {
    while (shared.waiting() < count)
        std::this_thread::yield();
}

TEST(SharedAnswer, OneAtATimeEachAsks) {
    SharedAnswer shared;
    int asked = 0;
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(shared.get([&] { return std::to_string(++asked); }), std::to_string(i));
    EXPECT_THROW(shared.get([]() -> std::string { throw std::runtime_error("gone"); }),
                 std::runtime_error);
    EXPECT_EQ(shared.get([] { return std::string("back"); }), "back");
}

// Requests that come while an asking runs do not take its answer (a change made just before
// they came may be missing from it): they share the next asking, made once for all of them.
TEST(SharedAnswer, ThoseWhoCameDuringAnAskingShareTheNext) {
    SharedAnswer shared;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    int asked = 0;
    const auto ask = [&] {
        const int n = ++asked;
        if (n == 1) released.wait();
        return "answer " + std::to_string(n);
    };
    auto first = std::async(std::launch::async, [&] { return shared.get(ask); });
    untilWaiting(shared, 1);
    std::vector<std::future<std::string>> later;
    for (int i = 0; i < 5; ++i) {
        later.push_back(std::async(std::launch::async, [&] { return shared.get(ask); }));
        untilWaiting(shared, 2 + i);
    }
    release.set_value();
    EXPECT_EQ(first.get(), "answer 1");
    for (auto& f : later)
        EXPECT_EQ(f.get(), "answer 2");
    EXPECT_EQ(asked, 2);
}

}  // namespace
