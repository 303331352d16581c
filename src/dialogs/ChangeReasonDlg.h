// CChangeReasonDlg: the small dialog (template 13300) that asks why a signed
// sample is changed. The reason goes into the audit trail with the change,
// and the change withdraws the sample's signatures unless it only touches
// fields that do not affect results.
#pragma once

#include "framework/CDialog.h"
#include "framework/CString.h"

// Controls of template 13300.
constexpr int IDC_CHANGE_REASON_NOTE = 13301; // set at opening: which sample and what follows
constexpr int IDC_CHANGE_REASON = 13302;      // the reason

class CChangeReasonDlg : public CDialog {
    DECLARE_DYNAMIC(CChangeReasonDlg)

public:
    explicit CChangeReasonDlg(const CString& userSampleID, CWnd* pParent = nullptr);

    // Names the sample in the note and puts the focus into the reason.
    BOOL OnInitDialog() override;
    // A reason of blanks alone keeps the dialog open with a message;
    // otherwise the trimmed reason is kept and the dialog ends with OK.
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    CString m_strReason;
    CString m_strUserSampleID;
};
