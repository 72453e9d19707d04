#ifndef CANCEL_REQUESTER_H
#define CANCEL_REQUESTER_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Asks for cancellation from a second thread, as the suite does: on Ctrl-C, or after a delay.
class cancel_requester
{
public:
    // delay_ms < 0: no timed cancellation, only Ctrl-C.
    cancel_requester(std::function<void()> cancel, long long delay_ms);
    ~cancel_requester();

    bool requested() const { return requested_bool; }

    static void install_interrupt_handler();

private:
    void watch(long long delay_ms);

    std::function<void()> cancel_function;
    std::atomic<bool> requested_bool{false};
    std::mutex mutex;
    std::condition_variable wake;
    bool stop_bool = false;
    std::thread watcher;
};

#endif
