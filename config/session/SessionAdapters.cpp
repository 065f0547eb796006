#include "SessionAdapters.h"

#include "Access.h"
#include "QtValues.h"

namespace MW {

Client::SAccess CBusSessionLink::Access() {
    const SServiceAccess access = m_link.Access();
    Client::SAccess result;
    result.mayChange = access.mayChange;
    result.group = access.group.isEmpty() ? std::string(Bus::kDefaultChangeGroup)
                                          : Link::toUtf8(access.group);
    return result;
}

std::string CBusSessionLink::UndeletedLog() {
    return Link::toUtf8(m_link.UndeletedLog());
}

std::string CBusSessionLink::AdviseEngine() {
    return Link::toUtf8(m_observer.AdviseEngine(&m_link));
}

void CQtSessionView::ShowMessage(EOwner owner, EIcon icon, const std::string& text,
                                 const std::string& caption) {
    m_view.ShowMessage(owner, icon, Link::toQString(text), Link::toQString(caption));
}

void CQtSessionView::SetLastScan(const std::string& text) {
    m_view.SetLastScan(Link::toQString(text));
}

void CQtSessionView::SetReadOnly(bool readOnly, const std::string& group) {
    m_view.SetReadOnly(readOnly, Link::toQString(group));
}

void CQtSessionView::AnnounceUndeleted(std::int32_t count, const std::string& listPath) {
    m_view.AnnounceUndeleted(count, Link::toQString(listPath));
}

} // namespace MW
