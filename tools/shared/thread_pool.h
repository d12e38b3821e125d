// The host tools' one way to spread work over threads: work(t) runs on `workers` threads at once, t from 0
// to workers - 1, the caller's own thread being t = 0; runOnThreads returns when every one has returned.
#pragma once
#include <thread>
#include <vector>

namespace tools {

template <class Work>
void runOnThreads(unsigned workers, const Work& work) {
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < workers; ++t) pool.emplace_back(work, t);
    work(0u);
    for (std::thread& thread : pool) thread.join();
}

}  // namespace tools
