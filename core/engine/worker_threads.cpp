#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "engine/worker_threads.h"

#include <vector>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace pellumar {

namespace {
struct Call {
    void (*work)(void*);
    void* context;
};

#if defined(_WIN32)
DWORD WINAPI start(LPVOID call) {
    const Call* c = static_cast<const Call*>(call);
    c->work(c->context);
    return 0;
}
#else
void* start(void* call) {
    const Call* c = static_cast<const Call*>(call);
    c->work(c->context);
    return nullptr;
}
#endif
}  // namespace

void runOnThreads(int threads, void (*work)(void*), void* context) {
    Call call{work, context};
#if defined(_WIN32)
    std::vector<HANDLE> started;
#else
    std::vector<pthread_t> started;
#endif
    // Room for all first: a failed allocation then leaves no thread running.
    started.reserve(threads > 1 ? static_cast<size_t>(threads - 1) : 0);
    for (int i = 1; i < threads; ++i) {
#if defined(_WIN32)
        HANDLE handle = CreateThread(nullptr, 0, start, &call, 0, nullptr);
        if (handle == nullptr) break;
        started.push_back(handle);
#else
        pthread_t thread;
        if (pthread_create(&thread, nullptr, start, &call) != 0) break;
        started.push_back(thread);
#endif
    }
    work(context);
    for (auto& thread : started) {
#if defined(_WIN32)
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
#else
        pthread_join(thread, nullptr);
#endif
    }
}

}  // namespace pellumar
