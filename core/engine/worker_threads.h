// Running one function on several threads at once.
#ifndef PELLUMAR_WORKER_THREADS_H
#define PELLUMAR_WORKER_THREADS_H

namespace pellumar {

// Calls work(context) on `threads` threads at once, the calling thread being
// one of them, and returns when every call has returned. Threads that the
// system refuses to start are simply not there: the calls that did start
// share the work. work must not throw. Threads of the operating system's own
// interface (POSIX threads, or Windows threads), not std::thread, which some
// MinGW-w64 builds lack.
void runOnThreads(int threads, void (*work)(void*), void* context);

}  // namespace pellumar

#endif
