#include "CThread.h"

namespace MW::Common {

CThread::~CThread() {
    if (m_thread.joinable())
        m_thread.detach();
}

void CThread::start() {
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void CThread::join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace MW::Common
