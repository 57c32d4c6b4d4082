// What the benchmarks measure with: medians, two pieces of work timed side by
// side, round trips per second over several client threads, and a client of
// a server on this machine.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>
#include <algorithm>
#include <atomic>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_connection.h"
#include "support/raw_loopback.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

inline double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Medians in µs of two pieces of work timed side by side.
struct Medians {
  double first = 0;
  double second = 0;
  double Ratio() const { return first > 0 ? second / first : 0; }
};

// Times `first` and `second` once each per iteration, after `warmup` rounds
// untimed, so that a change in the shared machine's load falls on both alike.
// With `alternate`, every other round runs `second` first, so that a cost
// that falls on whichever runs first (a server thread waking up) is shared.
template <class First, class Second>
Medians TimeSideBySide(benchmark::State& state, int warmup, First first, Second second,
                       bool alternate = false) {
  for (int i = 0; i < warmup; ++i) first(), second();
  std::vector<double> first_us, second_us;
  auto time = [](auto& f) {
    const auto t0 = Clock::now();
    f();
    return Micros(Clock::now() - t0);
  };
  bool second_first = false;
  for (auto _ : state) {
    if (second_first) second_us.push_back(time(second));
    first_us.push_back(time(first));
    if (!second_first) second_us.push_back(time(second));
    second_first = alternate && !second_first;
  }
  return {Median(first_us), Median(second_us)};
}

// Reports `m` as the counters <first>_median_us, <second>_median_us and
// ratio, and keeps it in `results` as <first>_<key> and <second>_<key>.
inline void Report(benchmark::State& state, std::map<std::string, double>& results,
                   const std::string& key, const std::string& first, const std::string& second,
                   Medians m) {
  state.counters[first + "_median_us"] = m.first;
  state.counters[second + "_median_us"] = m.second;
  state.counters["ratio"] = m.Ratio();
  results[first + "_" + key] = m.first;
  results[second + "_" + key] = m.second;
}

// The CPU time of the whole process (every thread, kernel time included).
inline double ProcessCpuMicros() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// Round trips per second, and the process's CPU time per round trip (µs):
// both ends of the link live in this process, so it is all a round trip
// costs the machine.
struct Rate {
  double per_s = 0;
  double cpu_us = 0;
};

// Runs `clients` threads for `window`, each repeating the round trip that
// make() returns (made before the window opens, one client after another: a
// server takes only a few handshakes from one address at once); returns
// the rate over all of them.
template <class Make>
Rate Throughput(int clients, std::chrono::milliseconds window, Make make) {
  std::atomic<bool> go{false}, stop{false};
  std::atomic<long> total{0};
  std::atomic<int> ready{0};
  std::mutex connecting;
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i)
    threads.emplace_back([&] {
      auto round_trip = [&] {
        std::lock_guard lock(connecting);
        return make();
      }();
      ++ready;
      while (!go) std::this_thread::yield();
      long n = 0;
      while (!stop) {
        round_trip();
        ++n;
      }
      total += n;
    });
  while (ready < clients) std::this_thread::yield();
  const auto t0 = Clock::now();
  const double cpu0 = ProcessCpuMicros();
  go = true;
  std::this_thread::sleep_for(window);
  stop = true;
  for (auto& t : threads) t.join();
  const double cpu = ProcessCpuMicros() - cpu0;
  return {total / std::chrono::duration<double>(Clock::now() - t0).count(),
          total > 0 ? cpu / static_cast<double>(total) : 0};
}

// Round trips per second of a raw echo (requests of `request_size` bytes,
// answers of `answer_size`) and of the calls make_ours() gives, over
// state.range(0) connections each, in alternate windows (three of each);
// reports the median window of each as raw_per_s, calls_per_s and their
// ratio, and the median CPU per round trip as raw_cpu_us and call_cpu_us;
// keeps the rates in `results` as raw_tput<n> and call_tput<n>.
template <class MakeOurs>
void CompareThroughput(benchmark::State& state, std::map<std::string, double>& results,
                       std::chrono::milliseconds window, MakeOurs make_ours,
                       size_t request_size = 64, size_t answer_size = 64) {
  const int clients = static_cast<int>(state.range(0));
  RawEchoServer echo(request_size, answer_size);
  std::vector<double> raw_rates, our_rates, raw_cpu, our_cpu;
  for (auto _ : state) {
    for (int round = 0; round < 3; ++round) {
      const Rate r = Throughput(clients, window, [&] {
        auto c = std::make_shared<RawClient>(echo.Port(), request_size, answer_size);
        return [c] { c->RoundTrip(); };
      });
      const Rate o = Throughput(clients, window, make_ours);
      raw_rates.push_back(r.per_s);
      raw_cpu.push_back(r.cpu_us);
      our_rates.push_back(o.per_s);
      our_cpu.push_back(o.cpu_us);
    }
  }
  const double raw = Median(raw_rates), ours = Median(our_rates);
  state.counters["raw_cpu_us"] = Median(raw_cpu);
  state.counters["call_cpu_us"] = Median(our_cpu);
  state.counters["raw_per_s"] = raw;
  state.counters["calls_per_s"] = ours;
  state.counters["ratio"] = raw > 0 ? ours / raw : 0;
  results["raw_tput" + std::to_string(clients)] = raw;
  results["call_tput" + std::to_string(clients)] = ours;
}

// An open connection to `object` on the loopback port `port`.
inline std::unique_ptr<net::TSocketConnection> Connect(const std::string& object, uint16_t port) {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(object);
  c->SetPort(port);
  c->Open();
  return c;
}

}  // namespace bench
