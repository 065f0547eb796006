#pragma once

#include <thread>

namespace MW::Common {

// Owns one worker thread that runs the virtual body `run`.
class CThread {
public:
    CThread() = default;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    // Does not wait for the thread: a derived class that needs to end it stops
    // and joins it in its own destructor, while its members still exist.
    virtual ~CThread();

    // Starts the thread; call once per object.
    void start();
    // Waits for `run` to return. Only meaningful after the body was told to end.
    void join();
    bool started() const noexcept { return m_thread.joinable(); }

protected:
    virtual void run() = 0;

private:
    std::thread m_thread;
};

} // namespace MW::Common
