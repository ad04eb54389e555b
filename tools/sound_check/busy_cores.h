#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Keeps every core busy while it lives (when on), as a loaded desktop would.
struct BusyCores {
    explicit BusyCores(bool on)
    {
        for (unsigned i = 0; on && i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            threads.emplace_back([this] { while (!stop) {} });
    }
    ~BusyCores() { stop = true; }   // then the threads join

    std::atomic<bool> stop{false};
    std::vector<std::jthread> threads;
};
