// CRegisterSampleDlg: the dialog (template 13002) in which the operator
// registers new samples one after another or as a numbered batch, or edits a
// registered sample: one input per visible registration field, the sample
// identifier, and the default pattern or routine.
#pragma once

#include "databaseobjects/CZENDB_Sample.h"
#include "dialogs/SampleDlg.h"
#include "framework/CMapStringToPtr.h"

#include <cstdint>

class CSampleRegistrationField;
class CStringList;

// Buttons of template 13002.
constexpr int IDC_REGISTER_SAMPLE = 13058;
constexpr int IDC_REGISTER_BATCH = 13059;
constexpr int IDC_CLEAR_FIELDS = 13025;

// Profile entry of the identifier to propose next.
constexpr const char* ZEN_PROFILE_REGISTER_SECTION = "RegisterSampleDlg";
constexpr const char* ZEN_PROFILE_REGISTER_NEXT_ID = "UserSampleID";

class CRegisterSampleDlg : public CSampleDlg {
    DECLARE_DYNAMIC(CRegisterSampleDlg)

public:
    // sampleKey -1: registering new samples; another key: editing that sample.
    // Reads the identifier to propose from the profile ("RegisterSampleDlg" /
    // "UserSampleID", default empty) and skips every identifier already
    // registered (IncLastNumberInString).
    CRegisterSampleDlg(CZENDatabase* pDatabase, int32_t sampleKey, CWnd* pParent = nullptr);
    // Writes the identifier to propose next back to the profile.
    ~CRegisterSampleDlg() override;

    // Loads the fields (13006 / 13007 when it cannot), ends with IDCANCEL
    // after the refusal when the session may not register samples
    // (ZENACT_RegisterSample, checked again before every save), hides the register,
    // batch and clear buttons when editing, sets the caption (13009 editing,
    // 13008 registering), builds and fills the controls.
    BOOL OnInitDialog() override;
    // Editing: saves and closes only when the save succeeded. Registering:
    // closes at once; what is on screen is not saved.
    void OnOK() override;
    BOOL OnCommand(UINT nID) override;

    // Also gives the sample the connection.
    void SetDatabase(CZENDatabase* pDatabase) override;
    // Labels "description (column size)" and limits of the text fields,
    // hidden rows, and the pattern/routine choice ("P: name", "M: name",
    // item data the key, sorted).
    void BuildControls() override;

    // A value to put into the field of that name instead of the empty or
    // remembered one (a CSampleRegistrationField; not owned, must outlive the
    // dialog's run).
    virtual void AddPreset(const CString& fieldName, CObject* value);
    // Takes the identifier and the inputs into the sample and saves it, then
    // records the chosen pattern or routine as its default. False, nothing
    // saved, when the identifier is empty, holds a single quote (13022) or
    // belongs to another sample (13021: Yes switches to editing that sample),
    // and when the save itself failed (its error was shown). When another
    // station took the identifier between the check and the save, 13062 says
    // so and the next free identifier replaces it in the input; everything
    // else typed stays.
    virtual bool SaveSample();
    // Fills the sample fields and the inputs: registering, the next free
    // identifier and the empty (or preset, or remembered) values; editing, the
    // stored sample. bClear empties the text inputs.
    virtual void FillControls(BOOL bClear);
    // True when the identifier in the sample is free or is this sample's;
    // otherwise false with otherKey the key of the sample that has it (-1 for
    // an empty or invalid identifier).
    virtual bool CheckUserSampleID(int32_t& otherKey);
    // bRemember: keeps a copy of every shown field's value for the next
    // sample; otherwise forgets them. Either way the next identifier becomes
    // the (right-trimmed) text of the identifier input.
    virtual void RememberValues(BOOL bRemember);

    bool IsEditing() const { return m_bEditing; }
    int32_t GetSampleKey() const { return m_nSampleKey; }
    const CString& GetNextUserSampleID() const { return m_strNextUserSampleID; }
    const CZENDB_Sample& GetSample() const { return m_Sample; }

protected:
    // Register button, clear button and batch button.
    void OnRegisterSample();
    void OnClearFields();
    void OnRegisterBatch();

private:
    // The sample key and the sample's own key go together.
    void SetSampleKey(int32_t key);
    // Switches to editing the stored sample with that key and shows it.
    void StartEditing(int32_t key);
    // The key SampleExist reports for the identifier; -1 when none.
    int32_t KeyOf(const CString& userSampleID);
    // After registering: the next free identifier, the same field values.
    void ContinueRegistering();
    // The first identifier from id on that no sample has.
    CString NextFreeUserSampleID(CString id);
    // One value per registration field as a new sample starts: dates now (0
    // when hidden), empty texts, presets and remembered values in their place.
    void MakeFreshFieldValues(CObList& values);
    // Reads every visible input into its element of values.
    void ReadInputs(CObList& values);
    // The pattern or routine chosen in the combo box; false when none.
    bool GetChosenTest(bool& isRoutine, int32_t& testKey);
    // Saves one sample of a batch under id: a new record with only the
    // registration data on screen, never the sample being edited. taken:
    // another sample has the identifier (nothing saved).
    bool SaveBatchSample(const CString& id, bool& taken);
    // Registers the batch names in order and reports those passed over
    // because they were taken meanwhile (13063). True when any was saved.
    bool SaveBatch(const CStringList& names);
    // The sample field of that name; nullptr when none.
    CSampleRegistrationField* FindSampleField(const CString& name) const;
    void DeleteSampleFields();
    void DeleteRememberedValues();

    CMapStringToOb m_Presets;           // field name -> CSampleRegistrationField*, not owned
    CZENDB_Sample m_Sample;
    int32_t m_nSampleKey;
    bool m_bEditing;
    CObList m_SampleFields;             // CSampleRegistrationField*, owned
    CMapStringToOb m_RememberedValues;  // field name -> CSampleRegistrationField*, owned
    CString m_strNextUserSampleID;
};
