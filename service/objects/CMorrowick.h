#pragma once
// The engine object: the one meeting point of the running service. Clients read
// the service's state through it, get Config objects, ask for a scan at once and
// connect event sinks; the cleaner fires its events through it. It has no state
// besides its sinks: every value comes from the settings record.

#include "CConfig.h"
#include "CConnectionPoint.h"
#include "Contract.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace MW::Objects {

class CMorrowick : public IMWEventDispatcher {
public:
    // The process uses the one instance of getMorrowick(); tests may make more.
    explicit CMorrowick(std::int32_t maxSinkSlots = CConnectionPoint::kMaxSlots);
    CMorrowick(const CMorrowick&) = delete;
    CMorrowick& operator=(const CMorrowick&) = delete;
    ~CMorrowick() override = default;

    // A new Config object on every call; all of them are interchangeable.
    std::unique_ptr<CConfig> getConfig() const;
    // Broadcasts eFE_ScanStarted..eFE_Test to every sink; other values do nothing.
    // Never throws: what the sinks do is not the caller's business.
    void fireEvent(EFireEvent event) override;
    // Asks the cleaner for a scan at once; does not wait for it.
    void scanNow();
    std::string getUndeletedLog() const;
    std::int32_t getUndeletedCount() const;
    std::int32_t getActivityState() const;

    // The connection point (errors: CConnectionPoint).
    std::uint32_t advise(std::shared_ptr<IMorrowickEvents> sink);
    void unadvise(std::uint32_t cookie);
    const CConnectionPoint& connectionPoint() const { return m_connectionPoint; }

    void fireScanStarted();
    void fireScanFinished();
    void fireUpdateCleanedSpace(std::uint64_t cleanedSpace);
    void fireTest();

private:
    CConnectionPoint m_connectionPoint;
};

// Hands out one engine object, created on the first request. A failed creation is
// remembered and reported again to every later request.
class CMorrowickFactory {
public:
    using Creator = std::function<std::shared_ptr<CMorrowick>()>;
    explicit CMorrowickFactory(Creator creator);
    CMorrowickFactory(const CMorrowickFactory&) = delete;
    CMorrowickFactory& operator=(const CMorrowickFactory&) = delete;

    // Throws what the creation threw.
    std::shared_ptr<CMorrowick> getInstance();

private:
    std::mutex m_mutex;
    Creator m_fnCreate;
    std::shared_ptr<CMorrowick> m_pInstance;
    std::exception_ptr m_pFailure;
};

// The process's engine object: every caller gets the same one.
std::shared_ptr<CMorrowick> getMorrowick();

} // namespace MW::Objects
