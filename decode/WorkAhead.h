// Work that needs nothing from what its caller does meanwhile, started on a
// second thread so that it is ready, or nearly, when it is wanted.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <utility>

namespace zorvik {

// Runs work(stop) on a second thread from construction; without a thread
// (or when none can be had) it runs when it is taken, with no stop of its
// own. Take() gives the result once and rethrows what the work threw.
// Stop() and the destructor call the work off: the work must look at *stop
// often and then end soon, with any result, which nobody takes. The
// destructor waits for the thread, so what the work reads must outlive this
// object.
template <typename Result> class WorkAhead {
  public:
    using Work = std::function<Result(const std::atomic<bool>* stop)>;

    WorkAhead(Work work, bool thread) : work_(std::move(work)) {
        if (!thread) return;
        try {
            result_ = std::async(std::launch::async, [this] { return work_(&stop_); });
        } catch (const std::exception&) {
            // No thread (or no memory for one) to be had: the work when it is wanted.
        }
    }
    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;
    ~WorkAhead() { Stop(); }

    void Stop() { stop_.store(true, std::memory_order_relaxed); }
    Result Take() { return result_.valid() ? result_.get() : work_(nullptr); }

    // Take(), unless the caller is called off by callOff meanwhile: then
    // nothing, soon after. The wait looks at callOff every tenth of a
    // millisecond; work run here looks at it itself.
    std::optional<Result> TakeUnless(const std::atomic<bool>* callOff) {
        if (!result_.valid()) return work_(callOff);
        while (callOff &&
               result_.wait_for(std::chrono::microseconds(100)) != std::future_status::ready)
            if (callOff->load(std::memory_order_relaxed)) return std::nullopt;
        return result_.get();
    }

  private:
    Work work_;
    std::atomic<bool> stop_ = false;
    std::future<Result> result_; // last: destroyed, and so waited for, first
};

} // namespace zorvik
