// CSampleDlg: the base of the sample registration and sample search dialogs.
// It holds the facade, the Samples table configuration (column sizes and
// types) and the registration fields in display order, and places one row
// (label 13201 + i, input 43001 + i) per registration field.
#pragma once

#include "framework/CDialog.h"
#include "framework/CMapStringToPtr.h"
#include "framework/CObList.h"
#include "framework/CString.h"

class CZENDatabase;
class CZENDB_RegistrationField;

// Control ids shared by templates 13002 and 13005.
constexpr int IDC_SAMPLE_ID_LABEL = 13200;
constexpr int IDC_SAMPLE_ID = 43000;
constexpr int IDC_FIELD_LABEL_FIRST = 13201;  // + position, up to 27 rows
constexpr int IDC_FIELD_INPUT_FIRST = 43001;  // + position
constexpr int IDC_DEFAULT_TEST_LABEL = 13228;
constexpr int IDC_DEFAULT_TEST = 43028;
constexpr int ZEN_FIELD_ROWS = 27;

class CSampleDlg : public CDialog {
    DECLARE_DYNAMIC(CSampleDlg)

public:
    // pDatabase may be nullptr: every operation then shows 13006 and does
    // nothing else. With a facade, SetDatabase runs.
    CSampleDlg(UINT nIDTemplate, CZENDatabase* pDatabase, CWnd* pParent);
    ~CSampleDlg() override;

    // Opening: without facade the dialog ends with Cancel and shows 13006;
    // without registration fields with Cancel and 13007; otherwise the
    // controls are built.
    BOOL OnInitDialog() override;

    // Keeps the facade, lets it scan its table configurations and takes the
    // Samples table's (column name -> CODBCFieldInfo).
    virtual void SetDatabase(CZENDatabase* pDatabase);
    // Moves the label and input of the field at position index to the place
    // of row `row` of the template (rows fill the first column, then the
    // second), keeping their sizes.
    virtual void LayoutFieldRow(int index, int row);
    // Sets labels, limits and visibility of the field rows. The base hides
    // the rows that show no field and lays out the shown ones in order.
    virtual void BuildControls();
    // Number of registration fields loaded.
    virtual int GetNofRegistrationFields() const;
    // Size (precision) of a Samples column; 0 when the configuration does not
    // hold it.
    virtual int GetColumnSize(const CString& columnName) const;
    // SQL type of a Samples column; SQL_UNKNOWN_TYPE (0) when not held.
    virtual short GetColumnSQLType(const CString& columnName) const;

    CZENDatabase* GetDatabase() const { return m_pDatabase; }
    // The field definition at position index; nullptr out of range.
    CZENDB_RegistrationField* GetRegistrationField(int index) const;
    // Label and input of the field at position index; nullptr when the
    // template has none.
    CWnd* GetFieldLabel(int index) const { return GetDlgItem(IDC_FIELD_LABEL_FIRST + index); }
    CWnd* GetFieldInput(int index) const { return GetDlgItem(IDC_FIELD_INPUT_FIRST + index); }
    // Whether the field at position index has a row on screen: it is visible,
    // within the template's 27 rows, and the template's input there is of its
    // kind (a date picker for a "...Date" field, an edit otherwise). A field
    // whose row does not fit is hidden and its value left as it is.
    bool ShowsField(int index) const;

protected:
    // Steps of opening common to both dialogs; false when the dialog ended.
    bool PrepareOpening();
    // Loads the registration fields (names trimmed on the right); a database
    // error is shown and leaves the list empty.
    void LoadRegistrationFields();
    void DeleteRegistrationFields();
    // Hides the rows of fields not shown and places the shown ones in order.
    void LayOutRows();
    // With fewer shown rows than a column holds, moves the controls below
    // the rows up and shrinks the dialog by the empty rows.
    void CloseUpBelowRows(int shownRows);

    CZENDatabase* m_pDatabase = nullptr;
    CMapStringToPtr* m_pSamplesConfiguration = nullptr;
    CObList m_RegistrationFields;  // CZENDB_RegistrationField*, owned
};
