#include "CPreviewAdaptor.h"

#include "BusErrors.h"
#include "CLog.h"
#include "Contract.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace MW::DBus {

CPreviewAdaptor::CPreviewAdaptor(sdbus::IConnection& connection, IPreviewer& previewer,
                                 CCallerAuth& auth)
    : AdaptorInterfaces(connection, Bus::kEnginePath), m_previewer(previewer), m_auth(auth),
      m_fdWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fdWake < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    registerAdaptor();
}

CPreviewAdaptor::~CPreviewAdaptor() {
    unregisterAdaptor();
    if (m_worker.joinable())
        m_worker.join();
    ::close(m_fdWake);
}

void CPreviewAdaptor::previewScan(Reply&& result) {
    guarded([&] {
        // It reveals file names the caller may not be allowed to see.
        m_auth.requireWriter(getObject().getCurrentlyProcessedMessage());
        if (m_bRunning.load())
            throw CContractError(Bus::kErrorPreviewRunning, "A preview is running already.");
        if (m_previewer.isBusy())
            throw CContractError(Bus::kErrorScanRunning,
                                 "A scan is running; a preview can start when it has finished.");
        if (m_worker.joinable())
            m_worker.join(); // finished: its reply went out in deliver()
        m_reply.emplace(std::move(result));
        m_bRunning.store(true);
        m_worker = std::thread([this] { work(); });
    });
}

void CPreviewAdaptor::work() {
    std::optional<SPreviewTotals> totals;
    std::exception_ptr failure;
    try {
        totals = m_previewer.preview();
    } catch (...) {
        failure = std::current_exception();
    }
    std::lock_guard lock(m_mutex);
    m_totals = std::move(totals);
    m_pFailure = failure;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_fdWake, &one, sizeof one);
}

void CPreviewAdaptor::deliver() {
    std::uint64_t counter = 0;
    if (::read(m_fdWake, &counter, sizeof counter) <= 0 || !m_reply)
        return;
    std::optional<SPreviewTotals> totals;
    std::exception_ptr failure;
    {
        std::lock_guard lock(m_mutex);
        totals = std::move(m_totals);
        failure = m_pFailure;
        m_totals.reset();
        m_pFailure = nullptr;
    }
    Reply reply = std::move(*m_reply);
    m_reply.reset();
    m_worker.join();
    m_bRunning.store(false);
    try {
        if (totals) {
            reply.returnResults(totals->filesToDelete, totals->bytesToDelete, totals->filesToKeep,
                                totals->bytesToKeep, totals->file);
            return;
        }
        try {
            std::rethrow_exception(failure);
        } catch (...) {
            rethrowAsBusError();
        }
    } catch (const sdbus::Error& e) {
        try {
            reply.returnError(e);
        } catch (const sdbus::Error& lost) {
            // The caller may have gone; the loop carries on.
            logWrite("CPreviewAdaptor::deliver(): " + lost.getMessage());
        }
    }
}

} // namespace MW::DBus
