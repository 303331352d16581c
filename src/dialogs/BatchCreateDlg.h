// CBatchCreateDlg: the small dialog (template 13029, "Batch create") that asks
// how many samples a batch registration creates. It shows the first two
// identifiers of the batch and remembers the last count in the profile.
#pragma once

#include "framework/CDialog.h"
#include "framework/CString.h"

class CZENDatabase;

// Controls of template 13029.
constexpr int IDC_BATCH_COUNT = 13053;        // the number of samples (digits only)
constexpr int IDC_BATCH_EXPLANATION = 13055;  // set at opening
constexpr int IDC_BATCH_FIRST_ID = 13056;     // the first identifier (hidden)

// Profile entry of the last count.
constexpr const char* ZEN_PROFILE_BATCH_SECTION = "BatchCreateDlg";
constexpr const char* ZEN_PROFILE_BATCH_COUNT = "NumberOfSamples";

class CBatchCreateDlg : public CDialog {
    DECLARE_DYNAMIC(CBatchCreateDlg)

public:
    // pDatabase is the session whose right to register samples the dialog
    // checks when it opens (none without one); it is kept for the caller.
    CBatchCreateDlg(CZENDatabase* pDatabase, const CString& firstUserSampleID, CWnd* pParent = nullptr);

    // Shows string 13029 with "<first>, <second>" (second =
    // IncLastNumberInString(first)) and the last count from the profile
    // (0 on first use). A session that may not register samples gets the
    // refusal in a message box and the dialog ends with IDCANCEL at once.
    BOOL OnInitDialog() override;
    // Reads the controls; a negative count keeps the dialog open without a
    // message; otherwise the count goes to the profile and the dialog ends
    // with OK.
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // The number text as a decimal integer (0 when it is none; clamped to
    // the 32-bit range).
    int GetNumberOfSamples() const;

    CString m_strNumberOfSamples;      // "1" after construction
    CString m_strFirstUserSampleID;
    CZENDatabase* m_pDatabase;
};
