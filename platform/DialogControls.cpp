#include "platform/DialogControls.h"

#include <cstdint>

#include "platform/WinDefs.h"

namespace qv {

void CQVProgressCtrl::Attach(DialogWindow& window, int id) {
    m_pWindow = &window;
    m_nId = id;
}

void CQVProgressCtrl::SetRange(int lower, int upper) {
    if (!IsAttached()) return;
    const uint32_t range =
        (static_cast<uint32_t>(lower) & 0xFFFFu) | ((static_cast<uint32_t>(upper) & 0xFFFFu) << 16);
    m_pWindow->SendItemMessage(m_nId, PBM_SETRANGE, 0, static_cast<intptr_t>(range));
}

int CQVProgressCtrl::SetPos(int position) {
    if (!IsAttached()) return 0;
    return static_cast<int>(m_pWindow->SendItemMessage(
        m_nId, PBM_SETPOS, static_cast<uintptr_t>(static_cast<intptr_t>(position)), 0));
}

void ExchangeText(CQVDataExchange& dx, int id, std::string& value) {
    if (dx.m_bSaveAndValidate)
        value = dx.m_pWindow->ItemText(id);
    else
        dx.m_pWindow->SetItemText(id, value);
}

void ExchangeControl(CQVDataExchange& dx, int id, CQVProgressCtrl& control) {
    if (!control.IsAttached() && dx.m_pWindow->HasItem(id)) control.Attach(*dx.m_pWindow, id);
}

}  // namespace qv
