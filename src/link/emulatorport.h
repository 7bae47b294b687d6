// Where the tester emulator sends its dump: a pseudo-terminal it creates (sending each time a
// reader opens it) or an existing serial device, paced at the line rate.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "link/emulator.h"

// Writes the chunks to fd at the line rate of baud (kBitsPerByte bits a byte; 0 = as fast as
// the reader takes them), pausing after each chunk as it asks. Stops early, returning false,
// when stop is set, the write fails or, with watchHangup, the reader has closed its end.
bool sendPaced(int fd, const std::vector<EmulatorChunk>& chunks, int baud,
               const std::atomic<bool>* stop, bool watchHangup);

// A pseudo-terminal whose slave end the reception opens like a serial device.
class EmulatorPty {
public:
    EmulatorPty() = default;
    ~EmulatorPty();
    EmulatorPty(const EmulatorPty&) = delete;
    EmulatorPty& operator=(const EmulatorPty&) = delete;

    // Creates the pty; false with errno's text in error.
    bool create(std::string& error);
    const std::string& slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // True while some process has the slave end open. The master reports a hang-up while
    // nobody has; the slave is opened and closed once at creation so that this also holds
    // before the first reader.
    bool readerPresent() const;
    // Waits until a reader has opened the slave, then settleMs more (the reader sets its
    // line up and empties its queue right after opening). False when stop was set.
    bool waitForReader(const std::atomic<bool>& stop, uint32_t settleMs) const;
    // Waits until the reader has closed the slave again. False when stop was set.
    bool waitForReaderGone(const std::atomic<bool>& stop) const;
    // Forgets the openings seen so far (see waitForNextOpening).
    void clearOpenings() const;
    // Waits until a reader empties its receive queue, as every opening of a serial port does:
    // unlike a hang-up, which a close directly followed by the next open can hide, this is
    // never missed. False when stop was set.
    bool waitForNextOpening(const std::atomic<bool>& stop) const;

    // Sends the chunks, paced; stops when the reader goes away.
    bool send(const std::vector<EmulatorChunk>& chunks, int baud,
              const std::atomic<bool>* stop) const;

private:
    int m_master = -1;
    std::string m_slavePath;
};

// Opens a serial device for sending the dump (raw, 8N1 at baud). -1 with errno on failure.
int openSendDevice(const std::string& path, int baud);

// A pty that sends its chunks, paced at baud (0: as fast as the pty takes them), as soon as a
// reader has opened it: once, or with repeat again at every later opening. The sending runs on
// a thread of its own until it is done or the object is destroyed; a demonstration or test
// points a port at path().
class EmulatorPtySender {
public:
    EmulatorPtySender(std::vector<EmulatorChunk> chunks, int baud, uint32_t settleMs = 50,
                      bool repeat = false);
    ~EmulatorPtySender();
    EmulatorPtySender(const EmulatorPtySender&) = delete;
    EmulatorPtySender& operator=(const EmulatorPtySender&) = delete;

    // False when the pty could not be created (error() says why); nothing is sent then.
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    const std::string& path() const { return m_pty.slavePath(); }

private:
    EmulatorPty m_pty;
    std::vector<EmulatorChunk> m_chunks;
    std::string m_error;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
