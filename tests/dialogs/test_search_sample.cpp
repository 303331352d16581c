// Tests of the sample search dialog through the facade's entry point: the
// criteria collected from the inputs, the refused apostrophe, Cancel, and the
// previous search shown again.
#include "dialogs/DialogTestSupport.h"

#include "dialogs/SearchSampleDlg.h"
#include "framework/UIHost.h"
#include "recordsets/SampleSearch.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using dlgtest::Text;

// The criteria of a map as "key=text" or "key=from..to" (dates as %Y-%m-%d,
// 0 as "0"), ordered by key.
std::map<std::string, std::string> Describe(const CMapStringToPtr& criteria)
{
    auto day = [](const CTime& t) { return t.GetTime() == 0 ? std::string("0") : t.Format("%Y-%m-%d").Str(); };
    std::map<std::string, std::string> out;
    for (POSITION pos = criteria.GetStartPosition(); pos != nullptr;) {
        CString key;
        void* value = nullptr;
        criteria.GetNextAssoc(pos, key, value);
        const auto* c = static_cast<const SampleSearchCriterion*>(value);
        out[key.Str()] = c->IsText ? c->Text.Str() : day(c->From) + ".." + day(c->To);
    }
    return out;
}

void DeleteAll(CMapStringToPtr& criteria)
{
    for (POSITION pos = criteria.GetStartPosition(); pos != nullptr;) {
        CString key;
        void* value = nullptr;
        criteria.GetNextAssoc(pos, key, value);
        delete static_cast<SampleSearchCriterion*>(value);
    }
    criteria.RemoveAll();
}

class SearchSampleDialog : public ::testing::Test {
protected:
    ~SearchSampleDialog() override { DeleteAll(m_criteria); }

    dlgtest::CDialogTestBed m_bed;
    CScriptedUIHost m_host;
    CUIHostScope m_scope{&m_host};
    CMapStringToPtr m_criteria;
};

TEST_F(SearchSampleDialog, InputsBecomeCriteria)
{
    const CTime may1(2014, 5, 1, 0, 0, 0);
    const CTime may9(2014, 5, 9, 0, 0, 0);
    struct Case {
        const char* name;
        std::function<void(CDialog&)> type;
        std::map<std::string, std::string> expected;
    };
    const Case cases[] = {
        {"nothing", [](CDialog&) {}, {}},
        {"only the to date", [&](CDialog& d) { d.GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_TO)->SetTime(may9); },
         {{"MeasuredDate", "0..2014-05-09"}}},
        {"texts", [](CDialog& d) {
             d.SetDlgItemText(IDC_SAMPLE_ID, " S-1 ");
             d.SetDlgItemText(IDC_SEARCH_SIGNATURE, "Ana");
             d.SetDlgItemText(IDC_SEARCH_MEASURED_BY, "Luis");
             d.SetDlgItemText(43001, "WO-7  ");
             d.SetDlgItemText(43002, "   ");
         },
         {{"UserSampleID", " S-1 "}, {"Signature", "Ana"}, {"MeasuredBy", "Luis"}, {"WorkOrder", "WO-7"}}},
        {"registration date range", [&](CDialog& d) {
             d.GetDlgItemAs<CDateTimeCtrl>(43006)->SetTime(may1);
             d.GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_SECOND_PICKER_5)->SetTime(may9);
             d.GetDlgItemAs<CDateTimeCtrl>(43007)->SetTime(may9);
         },
         {{"RegistrationDate", "2014-05-01..2014-05-09"}, {"DueDate", "2014-05-09..0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteAll(m_criteria);
        m_host.QueueDialogScript([&](CDialog& d) -> INT_PTR {
            c.type(d);
            return IDOK;
        });
        EXPECT_TRUE(m_bed.Facade().GetSearchCriteriaByDialog(&m_criteria));
        EXPECT_EQ(Describe(m_criteria), c.expected);
    }
    EXPECT_TRUE(m_host.GetMessages().empty());
}

TEST_F(SearchSampleDialog, OneDateOfTheMeasuredRangeListsFromOrUpToThatDay)
{
    const struct {
        const char* id;
        CTime measured;
    } samples[] = {
        {"M-1", CTime(2014, 5, 8, 23, 59, 59)},
        {"M-2", CTime(2014, 5, 9, 12, 0, 0)},
        {"M-3", CTime(2014, 5, 10, 0, 0, 0)},
    };
    for (const auto& sample : samples) {
        CZENDB_Sample stored(&m_bed.Facade(), sample.id);
        stored.MeasuredDate = sample.measured;
        ASSERT_TRUE(stored.Save());
    }
    const CTime may9(2014, 5, 9, 0, 0, 0);
    const struct {
        UINT picker;
        std::vector<std::string> listed;  // newest first
    } cases[] = {
        {IDC_SEARCH_MEASURED_TO, {"M-2", "M-1"}},
        {IDC_SEARCH_MEASURED_FROM, {"M-3", "M-2"}},
    };
    for (const auto& c : cases) {
        m_host.QueueDialogScript([&](CDialog& d) {
            d.GetDlgItemAs<CDateTimeCtrl>(c.picker)->SetTime(may9);
            return IDOK;
        });
        ASSERT_TRUE(m_bed.Facade().GetSearchCriteriaByDialog(&m_criteria));
        CObList list;
        m_bed.Facade().GetSamples(SampleViewSearch, &m_criteria, list);
        std::vector<std::string> listed;
        while (!list.IsEmpty()) {
            std::unique_ptr<CObject> sample(list.RemoveHead());
            listed.push_back(static_cast<CZENDB_Sample*>(sample.get())->UserSampleID.Str());
        }
        EXPECT_EQ(listed, c.listed) << c.picker;
        DeleteAll(m_criteria);
    }
}

TEST_F(SearchSampleDialog, ApostropheIsRefusedUntilCorrected)
{
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_SEARCH_SIGNATURE, "O'Brien");
        d.SetDlgItemText(43001, "WO-1");
        return IDOK;
    });
    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        auto& dlg = dynamic_cast<CSearchSampleDlg&>(d);
        EXPECT_TRUE(dlg.GetCriteria().IsEmpty());
        d.SetDlgItemText(IDC_SEARCH_SIGNATURE, "OBrien");
        d.SetDlgItemText(43001, "");
        return IDOK;
    });
    EXPECT_TRUE(m_bed.Facade().GetSearchCriteriaByDialog(&m_criteria));
    ASSERT_EQ(m_host.GetMessages().size(), 1u);
    EXPECT_EQ(m_host.GetMessages()[0].text, "Carácter no válido en cadena de búsqueda");
    EXPECT_EQ(m_host.GetMessages()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Describe(m_criteria), (std::map<std::string, std::string>{{"Signature", "OBrien"}}));
}

TEST_F(SearchSampleDialog, CancelLeavesTheMapAndReopeningShowsTheLastSearch)
{
    auto* previous = new SampleSearchCriterion;
    previous->Text = "S-1";
    m_criteria.SetAt("UserSampleID", previous);
    auto* measured = new SampleSearchCriterion;
    measured->IsText = false;
    measured->From = CTime(2014, 5, 1, 0, 0, 0);
    m_criteria.SetAt("MeasuredDate", measured);
    auto* workOrder = new SampleSearchCriterion;
    workOrder->Text = "WO-7";
    m_criteria.SetAt("WorkOrder", workOrder);

    m_host.QueueDialogScript([](CDialog& d) -> INT_PTR {
        EXPECT_EQ(d.GetCaption(), "Buscar muestras");
        EXPECT_EQ(d.GetDlgItemText(IDC_SAMPLE_ID), "S-1");
        EXPECT_EQ(d.GetDlgItemText(43001), "WO-7");
        EXPECT_EQ(d.GetDlgItemText(IDC_SEARCH_MEASURED_FROM), "01/05/2014");
        EXPECT_FALSE(d.GetDlgItemAs<CDateTimeCtrl>(IDC_SEARCH_MEASURED_TO)->HasDate());
        EXPECT_FALSE(d.GetDlgItemAs<CDateTimeCtrl>(43006)->HasDate());
        EXPECT_EQ(d.GetDlgItemText(IDC_SEARCH_SIGNATURE_LABEL), "Firmado por");
        EXPECT_EQ(d.GetDlgItemText(13201), "Orden de trabajo");
        EXPECT_FALSE(d.GetDlgItem(IDC_DEFAULT_TEST)->IsWindowVisible());
        d.SetDlgItemText(IDC_SAMPLE_ID, "other");
        return IDCANCEL;
    });
    EXPECT_FALSE(m_bed.Facade().GetSearchCriteriaByDialog(&m_criteria));
    void* value = nullptr;
    ASSERT_TRUE(m_criteria.Lookup("UserSampleID", value));
    EXPECT_EQ(value, previous);
    EXPECT_EQ(previous->Text, "S-1");
    EXPECT_EQ(m_criteria.GetCount(), 3);
    EXPECT_FALSE(m_bed.Facade().GetSearchCriteriaByDialog(nullptr));
}

} // namespace
