// Shared pointers across threads: two threads copy and drop copies of one zu::SharedPtr (the
// count changes contended between the cores), against the same work on a std::shared_ptr.

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/SharedPtr.h"
#include "bench/BenchSupport.h"

namespace {

const int kThreads = 2;

struct Payload {
  int value = 42;
};

// Each thread makes copies copies of shared, every copy read once and dropped.
template <class Pointer>
bool CopyAcrossThreads(const Pointer& shared, long copies) {
  std::atomic<int> ready{0};
  std::atomic<long> sum{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&]() {
      ready.fetch_add(1);
      while (ready.load() < kThreads) {
      }
      long local = 0;
      for (long i = 0; i < copies; ++i) {
        const Pointer copy = shared;
        local += copy->value;
      }
      sum.fetch_add(local);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  return sum.load() == 42L * copies * kThreads;
}

void SharedPtrCopies(benchmark::State& state) {
  const zu::SharedPtr<Payload> ours = std::make_shared<Payload>();
  const std::shared_ptr<Payload> floor = std::make_shared<Payload>();
  const long copies = zu_bench::Quick() ? 200000 : 2000000;
  zu_bench::Pairs pairs;
  for (auto _ : state) {
    pairs.Run(
        zu_bench::Count(21, 3), [&]() { return CopyAcrossThreads(ours, copies); },
        [&]() { return CopyAcrossThreads(floor, copies); });
  }
  zu_bench::Row row;
  row.benchmark = "SharedPtr, copies on 2 threads";
  row.unit = "ns/copy";
  row.ours = zu_bench::Median(pairs.Ours()) * 1000 / (copies * kThreads);
  row.floor = zu_bench::Median(pairs.Floor()) * 1000 / (copies * kThreads);
  row.limit = 1.1;
  zu_bench::Report(state, row);
}

}  // namespace

int main(int argc, char** argv) {
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("SharedPtr/copies_2_threads", SharedPtrCopies)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  });
}
