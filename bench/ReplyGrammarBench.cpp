// Reading large directory replies: a 10,000-contact list and a 1 MB partner parameters reply.

#include <benchmark/benchmark.h>

#include <string>

#include "directory/ReplyGrammar.h"

namespace {

std::string ContactReply(int contacts) {
    const std::string S(1, qv::reply::kItemSeparator);
    std::string reply = "Success" + S;
    for (int i = 0; i < contacts; ++i) {
        reply += std::to_string(100000 + i) + S + "Nick" + std::to_string(i) + S + "Friends" + S;
    }
    return reply;
}

void ReadContactList(benchmark::State& state) {
    const std::string reply = ContactReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        qv::reply::ItemReader items{std::string_view(reply)};
        std::string_view item;
        std::size_t n = 0;
        while (items.Next(item)) {
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(ReadContactList)->Arg(10000);

void ReadPartnerParameters(benchmark::State& state) {
    const std::string S(1, qv::reply::kItemSeparator);
    std::string reply = "Success" + S + "Version=7" + S;
    while (reply.size() < 1024 * 1024) {
        reply += "Padding" + std::to_string(reply.size()) + "=x" + S;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(qv::reply::ItemFields(reply).size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(ReadPartnerParameters);

}  // namespace
