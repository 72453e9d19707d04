#include "host/cancel_requester.h"

#include <chrono>
#include <csignal>

namespace
{
volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int)
{
    interrupted = 1;
}
} // namespace

void cancel_requester::install_interrupt_handler()
{
    std::signal(SIGINT, on_interrupt);
}

cancel_requester::cancel_requester(std::function<void()> cancel, long long delay_ms)
    : cancel_function(std::move(cancel)), watcher([this, delay_ms] { watch(delay_ms); })
{
}

cancel_requester::~cancel_requester()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop_bool = true;
    }
    wake.notify_all();
    watcher.join();
}

void cancel_requester::watch(long long delay_ms)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(delay_ms < 0 ? 0 : delay_ms);
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop_bool)
    {
        // The signal handler can only set a flag; look at it a few times a second.
        auto next_look = clock::now() + std::chrono::milliseconds(20);
        if (delay_ms >= 0 && deadline < next_look)
            next_look = deadline;
        wake.wait_until(lock, next_look);
        const bool timed_out = delay_ms >= 0 && clock::now() >= deadline;
        if (!stop_bool && (interrupted || timed_out))
        {
            requested_bool = true;
            cancel_function();
            return;
        }
    }
}
