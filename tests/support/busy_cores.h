#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Keeps every core busy while it lives (when on), as a loaded desktop would.
class BusyCores {
public:
    explicit BusyCores(bool on)
    {
        for (unsigned i = 0; on && i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            threads_.emplace_back([this] { while (!stop_) {} });
    }
    ~BusyCores() { stop_ = true; }   // the threads join as they go

private:
    std::atomic<bool> stop_{false};
    std::vector<std::jthread> threads_;
};
