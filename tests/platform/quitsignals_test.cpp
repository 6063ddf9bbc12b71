#include "platform/QuitSignals.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <vector>

#include "tests/support/gui/GuiTest.h"

namespace {
void Ignore(int) {}
}  // namespace

// Each signal reaches the event loop as a request to quit, the process going on meanwhile; two at once make one
// request, for the later. Afterwards the handler that was there before is back, and a second adapter while one is
// active takes nothing over; the next adapter takes over again, and standard input is left as it was.
TEST(QuitSignals, TermAndIntRequestAQuitFromTheEventLoopAndGiveTheirHandlersBack) {
    struct sigaction mine {}, seen {};
    mine.sa_handler = Ignore;
    sigemptyset(&mine.sa_mask);
    const int input = ::fcntl(0, F_GETFL) | ::fcntl(0, F_GETFD) << 16;
    for (int round = 0; round < 2; ++round) {
        for (int signal : {SIGTERM, SIGINT}) ASSERT_EQ(::sigaction(signal, &mine, nullptr), 0);
        {
            QuitSignals quit, second;
            std::vector<int> requests, secondRequests;
            QObject::connect(&quit, &QuitSignals::quitRequested, [&](int s) { requests.push_back(s); });
            QObject::connect(&second, &QuitSignals::quitRequested, [&](int s) { secondRequests.push_back(s); });
            for (int signal : {SIGTERM, SIGINT}) {
                ::raise(signal);
                EXPECT_TRUE(WaitUntil([&] { return !requests.empty() && requests.back() == signal; }, 5000)) << signal;
            }
            ::raise(SIGTERM);
            ::raise(SIGINT);
            EXPECT_TRUE(WaitUntil([&] { return requests.size() > 2; }, 5000));
            EXPECT_EQ(requests, (std::vector<int>{SIGTERM, SIGINT, SIGINT}));
            EXPECT_TRUE(secondRequests.empty());
        }
        for (int signal : {SIGTERM, SIGINT}) {
            ASSERT_EQ(::sigaction(signal, nullptr, &seen), 0);
            EXPECT_EQ(seen.sa_handler, &Ignore) << signal;
            ::signal(signal, SIG_DFL);
        }
    }
    EXPECT_EQ(::fcntl(0, F_GETFL) | ::fcntl(0, F_GETFD) << 16, input);
}
