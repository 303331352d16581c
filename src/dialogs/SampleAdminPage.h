// CSampleAdminPage: the page (template 13003, "Ajustes de la base de datos")
// that the station's settings sheet gets from this library. An administrator
// chooses there which registration fields are visible and names the nineteen
// custom fields.
#pragma once

#include "framework/CString.h"
#include "framework/PropertySheet.h"

class CZENDatabase;

class CSampleAdminPage : public CPropertyPage {
    DECLARE_DYNAMIC(CSampleAdminPage)

public:
    static constexpr int kCustomCount = 19;
    static constexpr int kStandardCount = 8;

    // Check boxes of the standard slots and check boxes / name edits of the
    // custom slots, by slot.
    static const int kStandardCheckIds[kStandardCount];
    static const int kCustomCheckIds[kCustomCount];
    static const int kCustomEditIds[kCustomCount];

    CSampleAdminPage();

    // Takes the fields from the facade (kept for the page): the first eight
    // standard fields in display order into the standard slots (name and
    // visible flag), "CustomField<n>" (n 1..19) into custom slot n - 1
    // (description and visible flag). Nothing without a facade; a database
    // error is shown.
    virtual void Load(CZENDatabase* pDatabase);
    // Writes the slots back: each custom field's description and visible
    // flag, each standard field's visible flag. Fields that no longer exist
    // are passed over. Nothing without a facade; nothing either, with the
    // refusal in a message box, when its session may not manage fields.
    virtual void Store(CZENDatabase* pDatabase);

    // Captions of the standard check boxes (their standard labels); check
    // boxes without a field are hidden.
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    int m_nCustomCount = kCustomCount;
    int m_nStandardCount = kStandardCount;
    CString m_strStandardNames[kStandardCount];
    int m_bStandardVisible[kStandardCount] = {};
    CString m_strCustomDescriptions[kCustomCount];
    int m_bCustomVisible[kCustomCount] = {};
    CZENDatabase* m_pDatabase = nullptr;
};
