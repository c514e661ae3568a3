#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Trace.h"
#include "platform/UiQueue.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

TEST(UiQueueTest, JobsFromWorkerThreadsRunOnTheDrainingThreadInPostingOrder) {
    UiQueue queue;
    std::vector<int> order;
    std::vector<std::thread::id> ranOn;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&queue, &order, &ranOn, w] {
            for (int i = 0; i < 100; ++i) {
                queue.Post([&order, &ranOn, w, i] {
                    order.push_back(w * 1000 + i);
                    ranOn.push_back(std::this_thread::get_id());
                });
            }
        });
    }
    for (auto& t : workers) {
        t.join();
    }
    EXPECT_EQ(queue.Pending(), 400u);
    EXPECT_EQ(queue.Drain(), 400u);
    for (auto id : ranOn) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
    // Each worker's jobs keep their order.
    for (int w = 0; w < 4; ++w) {
        int last = -1;
        for (int v : order) {
            if (v / 1000 == w) {
                EXPECT_GT(v % 1000, last);
                last = v % 1000;
            }
        }
    }
}

TEST(UiQueueTest, JobPostedWhileDrainingWaitsForTheNextDrain) {
    UiQueue queue;
    int second = 0;
    queue.Post([&] { queue.Post([&] { ++second; }); });
    queue.Post({});  // an empty job is ignored
    EXPECT_EQ(queue.Drain(), 1u);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(queue.Drain(), 1u);
    EXPECT_EQ(second, 1);
}

TEST(UiQueueTest, ADrainFromInsideAJobRunsNothing) {
    // A job that opens a window runs a nested event loop, which drains again.
    UiQueue queue;
    std::vector<std::string> order;
    std::size_t nested = 99;
    queue.Post([&] {
        order.push_back("first");
        queue.Post([&] { order.push_back("posted while draining"); });
        nested = queue.Drain();
        order.push_back("first done");
    });
    queue.Post([&] { order.push_back("second"); });
    EXPECT_EQ(queue.Drain(), 2u);
    EXPECT_EQ(nested, 0u);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "first done", "second"}));
    EXPECT_EQ(queue.Drain(), 1u);
    EXPECT_EQ(order.back(), "posted while draining");
}

// Runs first in this program: the trace file is chosen on the first trace line.
TEST(TraceTest, LinesGoToTheNamedFileWithTheThreadId) {
    test::TempFolder dir;
    const std::string file = dir.File("trace.log");
    ::setenv("QUORVANE_TRACE", file.c_str(), 1);
    Trace("CQuorvaneApp", "InitInstance");
    std::thread([] { Trace("CSonaroManager", "Connect", "state=2"); }).join();
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u) << text.str();
    auto threadIdPrefix = [](const std::string& l) {
        return l.size() > 10 && l.substr(8, 2) == ", " &&
               l.find_first_not_of("0123456789abcdef") == 8;
    };
    EXPECT_TRUE(threadIdPrefix(lines[0])) << lines[0];
    EXPECT_TRUE(threadIdPrefix(lines[1])) << lines[1];
    EXPECT_EQ(lines[0].substr(10), "CQuorvaneApp::InitInstance");
    EXPECT_EQ(lines[1].substr(10), "CSonaroManager::Connect state=2");
    EXPECT_NE(lines[0].substr(0, 8), lines[1].substr(0, 8));
    char id[16];
    std::snprintf(id, sizeof id, "%08x, ", CurrentThreadId());
    EXPECT_EQ(lines[0].rfind(id, 0), 0u);
}

}  // namespace
}  // namespace qv
