// Parallel: work shared among a few threads, for the export's images and the map's rows.
//
//   InParallel(rows, [&](int first, int step) { for (int r = first; r < rows; r += step) DrawRow(r); });
//
// Each share sees first = 0, 1, ... and step = the number of shares, so that a result
// does not depend on how many there are. The calling thread takes share 0; where no
// thread can be started it takes that share as well. The first exception of a share
// reaches the caller once all have ended.
#pragma once

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace orv {

constexpr int MaxParallelShares = 8;

template <typename F>
void InParallel(int items, F work)
{
    const int shares = std::max(1, std::min({static_cast<int>(std::thread::hardware_concurrency()), MaxParallelShares, items}));
    std::vector<std::exception_ptr> errors(static_cast<size_t>(shares));
    auto run = [&](int k) {
        try {
            work(k, shares);
        } catch (...) {
            errors[static_cast<size_t>(k)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(shares));
    for (int k = 1; k < shares; ++k) {
        try {
            workers.emplace_back(run, k);
        } catch (const std::system_error&) {
            run(k);
        }
    }
    run(0);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

}  // namespace orv
