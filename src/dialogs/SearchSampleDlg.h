// CSearchSampleDlg: the dialog (template 13005, "Buscar muestras") in which
// the operator states what to search for. It turns the inputs into a
// search-criteria map (column name -> SampleSearchCriterion) for the samples
// query, and shows the criteria of the previous search again.
#pragma once

#include "dialogs/SampleDlg.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CTime.h"
#include "recordsets/SampleSearch.h"

#include <map>

class CDateTimeCtrl;

// Controls of template 13005 besides the field rows of CSampleDlg.
constexpr int IDC_SEARCH_SIGNATURE_LABEL = 13229;
constexpr int IDC_SEARCH_SIGNATURE = 43029;
constexpr int IDC_SEARCH_MEASURED_BY_LABEL = 13230;
constexpr int IDC_SEARCH_MEASURED_BY = 43030;
constexpr int IDC_SEARCH_MEASURED_DATE_LABEL = 13231;
constexpr int IDC_SEARCH_MEASURED_FROM = 43031;
constexpr int IDC_SEARCH_MEASURED_TO = 43032;
// Upper date pickers beside the pickers of field rows 5 and 6.
constexpr int IDC_SEARCH_SECOND_PICKER_5 = 43033;
constexpr int IDC_SEARCH_SECOND_PICKER_6 = 43034;

class CSearchSampleDlg : public CSampleDlg {
    DECLARE_DYNAMIC(CSearchSampleDlg)

public:
    // previousCriteria (may be nullptr) is read to pre-fill the inputs; not
    // owned. Without a facade shows 13006.
    CSearchSampleDlg(CZENDatabase* pDatabase, const CMapStringToPtr* previousCriteria, CWnd* pParent = nullptr);
    // Deletes the criteria records still held.
    ~CSearchSampleDlg() override;

    // Labels, limits and previous values of every input; hidden rows for
    // fields not shown. A shown date field gets a from and a to picker (the
    // template's pickers beside rows 5 and 6), both pre-filled from the
    // previous criteria. The pattern/routine choice plays no part in a
    // search and is hidden.
    void BuildControls() override;
    // The field's second picker moves with its row.
    void LayoutFieldRow(int index, int row) override;
    // Collects the criteria; a single quote in any text refuses them with
    // 13028 and keeps the dialog open.
    void OnOK() override;

    // The previous criteria's text, from date or to date of a key; empty or
    // CTime 0 when the key is not there.
    virtual CString GetPreviousText(const CString& key) const;
    virtual CTime GetPreviousFrom(const CString& key) const;
    virtual CTime GetPreviousTo(const CString& key) const;

    // The criteria collected by the last OK: column name ->
    // SampleSearchCriterion*, owned by the dialog until taken over.
    CMapStringToPtr& GetCriteria() { return m_Criteria; }
    // Hands every record over to target (which must be empty or hold records
    // the caller keeps elsewhere); the dialog then holds none.
    void TakeCriteria(CMapStringToPtr& target);

private:
    void DeleteCriteria();
    // The previous record of a key; nullptr when none.
    const SampleSearchCriterion* Previous(const CString& key) const;
    // A picker without date, then set to date unless it is 0.
    static void ShowDate(CDateTimeCtrl* picker, const CTime& date);

    CMapStringToPtr m_Criteria;
    const CMapStringToPtr* m_pPreviousCriteria;
    // Field position -> its upper date picker (controls of the dialog).
    std::map<int, CDateTimeCtrl*> m_SecondPickers;
};
