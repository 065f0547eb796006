#pragma once
// A client's event sink as the engine's connection list holds it: each event
// becomes a call of the sink's IDispatch::Invoke with the event's DISPID, the
// null interface id, LOCALE_USER_DEFAULT, DISPATCH_METHOD and positional
// arguments only (updateCleanedSpace: one VT_UI8). What the sink answers is
// ignored: a sink that fails, its process gone for example, costs the other
// sinks nothing and stays connected until it is disconnected.

#include "IMorrowickEvents.h"

#include <oaidl.h>
#include <utility>
#include <wrl/client.h>

namespace MW::COM {

class CDispatchSink : public Objects::IMorrowickEvents {
public:
    explicit CDispatchSink(Microsoft::WRL::ComPtr<IDispatch> sink) : m_pSink(std::move(sink)) {}

    void scanStarted() override;
    void scanFinished() override;
    void updateCleanedSpace(std::uint64_t cleanedSpace) override;
    void test() override;

    // The sink as the client gave it (for EnumConnections).
    IDispatch* dispatch() const { return m_pSink.Get(); }

private:
    void invoke(DISPID id, VARIANT* argument);

    Microsoft::WRL::ComPtr<IDispatch> m_pSink;
};

} // namespace MW::COM
