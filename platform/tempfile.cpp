#include "tempfile.h"

#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

// The closing threads; any still running at the process's end are waited for.
struct Closers {
    std::mutex lock;
    std::vector<std::thread> threads;

    void finish()
    {
        std::vector<std::thread> running;
        {
            const std::lock_guard guard(lock);
            running.swap(threads);
        }
        for (std::thread &t : running)
            t.join();
    }
    ~Closers() { finish(); }
} g_closers;

} // namespace

void closeInBackground(NativeFile f)
{
    try {
        const std::lock_guard guard(g_closers.lock);
        g_closers.threads.emplace_back([f]() { closeNativeFile(f); });
    } catch (const std::exception &) { // no thread to be had: closed here
        closeNativeFile(f);
    }
}

void finishBackgroundCloses() { g_closers.finish(); }

} // namespace platform
