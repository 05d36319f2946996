// Conduit.dll as the module uses it, through its table: messages a second from
// one publisher to one subscriber and from four to four, and the latency from
// publish to callback. Each beside its baseline in the same run: the same
// traffic over a plain mutex-and-condition-variable hand-off between threads.
#include "fakes/BusLibraryLoader.h"

#include <kestrel/MessageBusLibrary.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBatch = 20000;
constexpr int kLatencySamples = 2000;

const KestrelMessageBusFunctions& bus() {
    return testfakes::loadBusTable(GLANCE_CONDUIT_LIBRARY);
}

// Counts deliveries and wakes whoever waits for a number of them.
struct Counter {
    std::atomic<int64_t> count{0};
    std::atomic<int64_t> sentAt{0}; // for latency: when the one message in flight left
    std::vector<int64_t> latencies;
    std::mutex mutex;
    std::condition_variable reached;

    void arrived() {
        const int64_t sent = sentAt.load();
        if (sent != 0) {
            latencies.push_back(Clock::now().time_since_epoch().count() - sent);
        }
        if (++count % 1000 == 0 || sent != 0) {
            std::lock_guard lock(mutex);
            reached.notify_all();
        }
    }
    void waitFor(int64_t target) {
        std::unique_lock lock(mutex);
        reached.wait(lock, [&] { return count.load() >= target; });
    }
    static MODULE_STATUS onMessage(void* context, const KestrelRawMessageHeader*, const wchar_t*,
                                   const wchar_t*, const wchar_t*) {
        static_cast<Counter*>(context)->arrived();
        return 0;
    }
};

// The baseline: a queue guarded by a mutex, drained by one consumer thread.
class HandOff {
public:
    explicit HandOff(Counter& counter) : counter_(counter), consumer_([this] { consume(); }) {}
    ~HandOff() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_one();
        consumer_.join();
    }
    void push(std::wstring name) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(name));
        }
        ready_.notify_one();
    }

private:
    void consume() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            queue_.pop_front();
            lock.unlock();
            counter_.arrived();
            lock.lock();
        }
    }

    Counter& counter_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::wstring> queue_;
    bool stopping_ = false;
    std::thread consumer_;
};

struct Pair {
    KestrelBusHandle handle = nullptr;
    Counter counter;
    std::wstring name;
};

void BM_ConduitThroughput(benchmark::State& state) {
    const int pairs = static_cast<int>(state.range(0));
    std::vector<Pair> lanes(static_cast<size_t>(pairs));
    for (int i = 0; i < pairs; ++i) {
        Pair& pair = lanes[static_cast<size_t>(i)];
        pair.name = L"Bench." + std::to_wstring(i);
        bus().open(&pair.handle);
        bus().subscribe(pair.handle, &pair.counter, &Counter::onMessage, pair.name.c_str());
    }
    for (auto _ : state) {
        std::vector<std::thread> publishers;
        for (Pair& pair : lanes) {
            publishers.emplace_back([&pair] {
                KestrelRawMessageHeader h = KestrelDefaultRawMessageHeader();
                const int64_t target = pair.counter.count.load() + kBatch;
                for (int n = 0; n < kBatch; ++n) {
                    bus().publish(pair.handle, &h, pair.name.c_str(), L"Bench", L"{}");
                }
                pair.counter.waitFor(target);
            });
        }
        for (std::thread& publisher : publishers) {
            publisher.join();
        }
    }
    for (Pair& pair : lanes) {
        bus().release(pair.handle);
    }
    state.SetItemsProcessed(state.iterations() * kBatch * pairs);
}

void BM_HandOffThroughput(benchmark::State& state) {
    const int pairs = static_cast<int>(state.range(0));
    std::vector<Counter> counters(static_cast<size_t>(pairs));
    for (auto _ : state) {
        std::vector<std::thread> publishers;
        for (Counter& counter : counters) {
            publishers.emplace_back([&counter] {
                HandOff handOff(counter);
                const int64_t target = counter.count.load() + kBatch;
                for (int n = 0; n < kBatch; ++n) {
                    handOff.push(L"Bench");
                }
                counter.waitFor(target);
            });
        }
        for (std::thread& publisher : publishers) {
            publisher.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch * pairs);
}

// One message in flight at a time; the callback notes when it arrived.
template <typename Send> void measureLatency(benchmark::State& state, Counter& counter, Send send) {
    for (auto _ : state) {
        counter.latencies.clear();
        for (int n = 0; n < kLatencySamples; ++n) {
            const int64_t before = counter.count.load();
            counter.sentAt = Clock::now().time_since_epoch().count();
            send();
            counter.waitFor(before + 1);
        }
        counter.sentAt = 0;
    }
    std::vector<int64_t> sorted = counter.latencies;
    std::sort(sorted.begin(), sorted.end());
    const auto micros = [&](double q) {
        const int64_t ticks =
            sorted[static_cast<size_t>(q * static_cast<double>(sorted.size() - 1))];
        return std::chrono::duration<double, std::micro>(Clock::duration(ticks)).count();
    };
    state.counters["p50_us"] = micros(0.50);
    state.counters["p99_us"] = micros(0.99);
}

void BM_ConduitLatency(benchmark::State& state) {
    Pair pair;
    bus().open(&pair.handle);
    bus().subscribe(pair.handle, &pair.counter, &Counter::onMessage, L"Latency");
    KestrelRawMessageHeader h = KestrelDefaultRawMessageHeader();
    measureLatency(state, pair.counter,
                   [&] { bus().publish(pair.handle, &h, L"Latency", L"Bench", L"{}"); });
    bus().release(pair.handle);
}

void BM_HandOffLatency(benchmark::State& state) {
    Counter counter;
    HandOff handOff(counter);
    measureLatency(state, counter, [&] { handOff.push(L"Latency"); });
}

} // namespace

BENCHMARK(BM_HandOffThroughput)->Arg(1)->Arg(4)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConduitThroughput)->Arg(1)->Arg(4)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandOffLatency)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConduitLatency)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
