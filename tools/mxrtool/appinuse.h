// Whether MXRView works on an application folder, and watching for termination signals while a
// command talks to the shared database.
#pragma once

#include <pthread.h>

#include <atomic>

#include <string>

namespace shareddb {
class PgCancel;
}

// True when a copy of MXRView runs on the folder or is starting on it. Asked the way a second
// copy of MXRView asks (its start-up lock, then its local socket), without a request: the
// running copy is not disturbed.
bool MxrViewHoldsFolder(const std::string& folder);

// While it lives, SIGTERM and SIGINT of the process are taken by a thread of its own: the first
// one cancels the database work through cancel (a cancel sent to the server, so even a wait on
// a lock or a statement ends). Construct it before any other thread is started.
class TerminationWatch {
public:
    explicit TerminationWatch(shareddb::PgCancel& cancel);
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;
    // The signal that arrived, 0 when none.
    int signal() const { return m_signal; }

private:
    static void* run(void* self);
    shareddb::PgCancel& m_cancel;
    sigset_t m_old{};
    int m_signalFd = -1, m_stopFd = -1;
    pthread_t m_thread{};
    bool m_started = false;
    std::atomic<int> m_signal{0};
};
