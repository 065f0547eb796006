#pragma once
// org.morrowick.Preview on the engine object. A preview walks the whole tree, so
// it runs on a thread of its own and the bus thread never waits for it: the
// method's reply is kept, and sent by the bus thread (the only one that may touch
// the connection) once the worker has woken it through an eventfd.

#include "CCallerAuth.h"
#include "Preview.h"
#include "PreviewAdaptor.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace MW::DBus {

class CPreviewAdaptor final : public sdbus::AdaptorInterfaces<org::morrowick::Preview_adaptor> {
public:
    CPreviewAdaptor(sdbus::IConnection& connection, IPreviewer& previewer, CCallerAuth& auth);
    // Waits for a running preview (the engine ends it when the cleaner stops).
    ~CPreviewAdaptor();

    // Readable when a preview has finished and its reply waits.
    int wakeFd() const { return m_fdWake; }
    // Sends the reply of a finished preview; on the bus thread.
    void deliver();

private:
    using Reply = sdbus::Result<uint32_t, uint64_t, uint32_t, uint64_t, std::string>;

    void previewScan(Reply&& result) override;
    void work();

    IPreviewer& m_previewer;
    CCallerAuth& m_auth;
    int m_fdWake = -1;
    std::thread m_worker;
    std::atomic<bool> m_bRunning{false};
    // The waiting reply: touched by the bus thread only.
    std::optional<Reply> m_reply;
    // The worker's outcome, handed over under the lock.
    std::mutex m_mutex;
    std::optional<SPreviewTotals> m_totals;
    std::exception_ptr m_pFailure;
};

} // namespace MW::DBus
