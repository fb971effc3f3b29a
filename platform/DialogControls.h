#pragma once
// Data exchange between a dialog's members and its controls, and the progress
// bar control, over the DialogWindow seam.

#include <string>

#include "platform/Platform.h"

namespace qv {

class CQVDataExchange {
public:
    CQVDataExchange(DialogWindow& window, bool saveAndValidate)
        : m_pWindow(&window), m_bSaveAndValidate(saveAndValidate) {}

    DialogWindow* m_pWindow;
    bool m_bSaveAndValidate;  // true: controls to members; false: members to controls
};

class CQVProgressCtrl {
public:
    bool IsAttached() const { return m_pWindow != nullptr; }
    void Attach(DialogWindow& window, int id);

    // The bounds travel as 16-bit words, so only their low 16 bits reach the bar.
    void SetRange(int lower, int upper);
    int SetPos(int position);

private:
    DialogWindow* m_pWindow = nullptr;
    int m_nId = 0;
};

void ExchangeText(CQVDataExchange& dx, int id, std::string& value);
// Attaches the control on the first exchange.
void ExchangeControl(CQVDataExchange& dx, int id, CQVProgressCtrl& control);

}  // namespace qv
