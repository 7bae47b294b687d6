// Helpers shared by the link tests: a listener that collects the reception's texts, a reception
// on a mapped port or a replay file, a small emulator dump, and UTF-8 views of the CP932 texts.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "link/emulator.h"
#include "link/receptionworker.h"
#include "link/serialport.h"
#include "model/cp932text.h"

inline std::string u8(const std::string& cp932Text)
{
    return cp932::toUtf8(cp932Text);
}

// Collects every text in order (as UTF-8), the error and warning texts apart, and the end
// code; hands each text back at once.
class CollectingListener : public IReceptionListener {
public:
    ReceptionWorker* worker = nullptr;

    void PostLine(const std::string& text, int) override { add(text, nullptr); }
    void PostError(const std::string& text, int) override { add(text, &m_errors); }
    void PostWarning(const std::string& text, int) override { add(text, &m_warnings); }
    void Finished(bool success) override
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_success = success;
        m_cv.notify_all();
    }

    bool waitFinished(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] { return m_finished; });
    }
    // Waits until a text equal to text (UTF-8) has been posted.
    bool waitForLine(const std::string& text, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] {
            for (const auto& l : m_lines)
                if (l == text)
                    return true;
            return false;
        });
    }
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::vector<std::string> errors() const
    {
        std::lock_guard lock(m_mutex);
        return m_errors;
    }
    std::vector<std::string> warnings() const
    {
        std::lock_guard lock(m_mutex);
        return m_warnings;
    }
    bool success() const
    {
        std::lock_guard lock(m_mutex);
        return m_success;
    }
    int count(const std::string& text) const
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& l : m_lines)
            n += l == text;
        return n;
    }

private:
    void add(const std::string& text, std::vector<std::string>* also)
    {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(u8(text));
            if (also)
                also->push_back(u8(text));
            m_cv.notify_all();
        }
        if (worker)
            worker->TextHandled();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_warnings;
    bool m_finished = false;
    bool m_success = false;
};

// Pauses short enough for tests.
inline ReceptionPauses fastPauses()
{
    ReceptionPauses p;
    p.startMs = 0;
    p.openMs = 20;
    p.endMs = 0;
    p.replayOpenRetryMs = 200;
    p.simulationPassMs = 0;
    return p;
}

// A reception on port number 17 mapped to the device path, or a replay of a file; archiving
// into archiveDir when one is given.
struct Reception {
    CollectingListener listener;
    ReceptionWorker worker{listener};
    explicit Reception(const std::string& device, ReceptionMode mode = ReceptionMode::Serial,
                       const std::string& replay = {}, const std::string& archiveDir = {})
    {
        listener.worker = &worker;
        dynamic_cast<CxSerialPort&>(worker.Port()).SetPortMap({{17, device}});
        ReceptionOptions o;
        o.mode = mode;
        o.comm.port = 17;
        o.replayPath = replay;
        o.pauses = fastPauses();
        o.archiveDir = archiveDir;
        worker.Start(o);
    }
};

// A few short records from the emulator.
inline EmulatorOptions smallDump(uint32_t seed, int records, int seconds = 16)
{
    EmulatorOptions o;
    o.seed = seed;
    o.records = records;
    o.measureSeconds = seconds;
    return o;
}
