// Profiles: planned profiles made from a template, made profiles loaded from a
// stored run, and the merge of a multilane profile into one lane-averaged
// entry per depth on which the whole evaluation works.

#include "profile/Profile.h"

#include "hardness/Indent.h"
#include "profile/ProfileTemplate.h"
#include "profile/internal/OwnedObList.h"

#include "databaseobjects/CZENDB_Sample.h"

using zen::profile::COwnedObList;

IMPLEMENT_DYNAMIC(CProfile, CObject)

namespace {

constexpr int kTeachInPattern = 1;   // PatternType
constexpr int kSpacingStraight = 0;  // SpacingType
constexpr int kSpacingZigZag = 1;
constexpr int kSpacingAsTaught = 2;
constexpr int kLoadFromPattern = 1;  // TestLoadMethod
constexpr int kXAxisPerIndent = 2;   // DiagramXAxisUnit: lanes are not merged

// Lane averaging, MultilaneAverageMethod.
constexpr int kDropLargest = 1;
constexpr int kDropLargestAndSmallest = 2;
constexpr int kDropSmallest = 3;
constexpr int kDropTwoSmallest = 4;

HardnessType ScaleOf(IndentorType indentor)
{
    return indentor == Knoop ? HK : HV;
}

// Evaluation and diagram settings shared by patterns and runs.
void CopySettings(const CZENDB_Pattern& p, CZENDB_SampleProfileRun& r)
{
    r.Standard = p.Standard;
    r.ECD1At = p.ECD1At;
    r.ECD2At = p.ECD2At;
    r.ECD3At = p.ECD3At;
    r.ECD4At = p.ECD4At;
    r.ECDAtUnitConv = p.ECDAtUnitConv;
    r.ECD2AtUnitConv = p.ECD2AtUnitConv;
    r.CalcECD1 = p.CalcECD1;
    r.CalcECD2 = p.CalcECD2;
    r.CalcCoreHardness = p.CalcCoreHardness;
    r.DIN50190Part2ECDMethod = p.DIN50190Part2ECDMethod;
    r.DIN50190Part2SurfacePercentage = p.DIN50190Part2SurfacePercentage;
    r.DIN50190Part2FixHardness = p.DIN50190Part2FixHardness;
    r.DIN50190Part2FixHardnessUnitConv = p.DIN50190Part2FixHardnessUnitConv;
    r.DIN50190Part3AddToCore = p.DIN50190Part3AddToCore;
    r.CoreHardnessNofIndents = p.CoreHardnessNofIndents;
    r.MultilaneAverageMethod = p.MultilaneAverageMethod;
    r.CurveType = p.CurveType;
    r.GaussianIgnoreSoftDueToCarbonLoss = p.GaussianIgnoreSoftDueToCarbonLoss;
    r.GaussianIgnoreIndentOverHardnessLimit = p.GaussianIgnoreIndentOverHardnessLimit;
    r.GaussianIgnoreIndentIfOutlier = p.GaussianIgnoreIndentIfOutlier;
    r.GaussianHardnessLimitInputUnit = p.GaussianHardnessLimitInputUnit;
    r.GaussianHardnessLimit = p.GaussianHardnessLimit;
    r.GaussianOutlierLimit = p.GaussianOutlierLimit;
    r.DiagramXAxisUnit = p.DiagramXAxisUnit;
    r.DiagramXAutomatic = p.DiagramXAutomatic;
    r.DiagramYAutomatic = p.DiagramYAutomatic;
    r.DiagramXMin = p.DiagramXMin;
    r.DiagramYMin = p.DiagramYMin;
    r.DiagramXMax = p.DiagramXMax;
    r.DiagramYMax = p.DiagramYMax;
    r.DiagramShowIndentHardness = p.DiagramShowIndentHardness;
    r.DiagramShowShowAsRockwell = p.DiagramShowShowAsRockwell;
    r.DiagramShowResults = p.DiagramShowResults;
    r.DiagramShowECDTolerances = p.DiagramShowECDTolerances;
    r.ECDToleranceMin = p.ECDToleranceMin;
    r.ECDToleranceMax = p.ECDToleranceMax;
    r.TestloadUnit = p.TestloadUnit;
}

}  // namespace

CProfile::CProfile() : m_ProfileRun(nullptr), m_IndentList(10)
{
}

CProfile::CProfile(CProfileTemplate* tpl) : m_ProfileRun(nullptr), m_IndentList(10)
{
    const CZENDB_Pattern& p = *tpl->GetPattern();
    CopySettings(p, m_ProfileRun);

    if (p.PatternType != kTeachInPattern) {
        // Depth i, lane j: x = i * spacing + offset, y = j * line spacing
        // (+ zigzag for odd i); all lanes of one depth follow each other.
        if (p.SpacingType != kSpacingStraight && p.SpacingType != kSpacingZigZag)
            return;
        const double load = p.TestLoadMethod == kLoadFromPattern ? p.TestLoad : -1.0;
        for (int i = 0; i < p.NrOfIndents; ++i) {
            for (int j = 0; j < p.NrOfLines; ++j) {
                const double x = i * p.SpacingBetweenIndents + p.XOffset;
                double y = j * p.LineSpacing;
                if (p.SpacingType == kSpacingZigZag && i % 2 == 1)
                    y += p.ZigZagSpacing;
                const CZENDB_IndentType type(nullptr, x, y, load);
                m_IndentList.AddTail(new CIndent(type));
            }
        }
        return;
    }

    // Teach-in: the template's prepared positions, repeated for every lane.
    if (p.SpacingType != kSpacingStraight && p.SpacingType != kSpacingZigZag &&
        p.SpacingType != kSpacingAsTaught)
        return;
    int k = 0;
    CObList* positions = tpl->GetIndentList();
    POSITION pos = positions->GetHeadPosition();
    while (pos != nullptr) {
        const auto* entry = static_cast<const CZENDB_IndentType*>(positions->GetNext(pos));
        CZENDB_IndentType work(nullptr);
        work = *entry;
        for (int j = 0; j < p.NrOfLines; ++j) {
            if (p.SpacingType == kSpacingStraight) {
                work.YPos = j * p.LineSpacing;
            } else if (p.SpacingType == kSpacingZigZag) {
                // The zigzag counts every indent made, across lanes.
                work.YPos = j * p.LineSpacing + (k % 2 == 1 ? p.ZigZagSpacing : 0.0);
                ++k;
            } else {
                work.YPos = j * p.LineSpacing + entry->YPos;
            }
            m_IndentList.AddTail(new CIndent(work));
        }
    }
}

CProfile::~CProfile()
{
    DeleteIndents();
}

void CProfile::DeleteIndents()
{
    zen::profile::DeleteElements(m_IndentList);
}

CProfile& CProfile::operator=(const CProfile& other)
{
    if (this == &other)
        return *this;
    m_ProfileRun = other.m_ProfileRun;
    DeleteIndents();
    POSITION pos = other.m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        const auto* indent = static_cast<const CIndent*>(other.m_IndentList.GetNext(pos));
        auto* copy = new CIndent();
        *copy = *indent;
        m_IndentList.AddTail(copy);
    }
    return *this;
}

CZENDB_SampleProfileRun* CProfile::GetSampleProfileRun()
{
    return &m_ProfileRun;
}

CObList* CProfile::GetIndentList()
{
    return &m_IndentList;
}

int CProfile::GetIndentorType(IndentorType& type)
{
    POSITION pos = m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        auto* indent = static_cast<CIndent*>(m_IndentList.GetNext(pos));
        if (indent->IsMade() != 0) {
            type = indent->GetIndentorType();
            return 1;
        }
    }
    return 0;
}

int CProfile::LoadFromDB(int32_t profileID, CDatabase* db)
{
    m_ProfileRun.Database = db;
    if (!m_ProfileRun.Load(profileID))
        return 0;

    DeleteIndents();
    COwnedObList made;
    if (!m_ProfileRun.GetAllMadeIndents(made, 1))
        return 0;  // a partly read profile is never evaluated
    while (!made.IsEmpty()) {
        CObject* record = made.RemoveHead();
        m_IndentList.AddTail(new CIndent(*static_cast<CZENDB_MadeIndent*>(record)));
        delete record;
    }
    return 1;
}

int CProfile::LoadFromDB(int32_t sampleID, int32_t profileNr, CDatabase* db)
{
    CZENDB_Sample sample(db);
    if (!sample.Load(sampleID))
        return 0;
    COwnedObList runs;
    if (!sample.GetProfiles(sampleID, runs))
        return 0;
    POSITION pos = runs.GetHeadPosition();
    while (pos != nullptr) {
        const auto* run = static_cast<const CZENDB_SampleProfileRun*>(runs.GetNext(pos));
        if (run->ProfileNr == profileNr)
            return LoadFromDB(run->ProfileID, db);
    }
    return 0;
}

void CProfile::MultilaneListToSinglelaneList(CObList& out)
{
    if (m_ProfileRun.DiagramXAxisUnit == kXAxisPerIndent) {
        POSITION pos = m_IndentList.GetHeadPosition();
        while (pos != nullptr) {
            auto* indent = static_cast<CIndent*>(m_IndentList.GetNext(pos));
            const double h = indent->GetHardnessValue()->GetHVHKHardness();
            if (h >= 0.0) {
                const IndentorType indentor = indent->GetIndentorType();
                out.AddTail(new CAverageIndent(indent->GetXPos(), h, indentor, ScaleOf(indentor),
                                               indent->GetTestLoad()));
            }
        }
        return;
    }

    // The list is in depth order, so the indents of one depth (all lanes) are
    // consecutive and share exactly the same x.
    POSITION pos = m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        auto* first = static_cast<CIndent*>(m_IndentList.GetNext(pos));
        const double x = first->GetXPos();

        int n = 0;
        double sum = 0.0;
        double largest = 0.0;
        double smallest = 0.0;
        double secondSmallest = 0.0;  // ties count as separate values
        auto take = [&](CIndent* indent) {
            const double h = indent->GetHardnessValue()->GetHVHKHardness();
            if (h < 0.0)
                return;
            if (n == 0) {
                largest = h;
                smallest = h;
            } else {
                if (h > largest)
                    largest = h;
                if (h < smallest) {
                    secondSmallest = smallest;
                    smallest = h;
                } else if (n == 1 || h < secondSmallest) {
                    secondSmallest = h;
                }
            }
            sum += h;
            ++n;
        };
        take(first);
        while (pos != nullptr) {
            POSITION next = pos;
            auto* indent = static_cast<CIndent*>(m_IndentList.GetNext(next));
            if (indent->GetXPos() != x)
                break;
            take(indent);
            pos = next;
        }

        switch (m_ProfileRun.MultilaneAverageMethod) {
        case kDropLargest:
            if (n >= 2) {
                sum -= largest;
                n -= 1;
            }
            break;
        case kDropLargestAndSmallest:
            if (n >= 3) {
                sum -= largest;
                sum -= smallest;
                n -= 2;
            }
            break;
        case kDropSmallest:
            if (n >= 2) {
                sum -= smallest;
                n -= 1;
            }
            break;
        case kDropTwoSmallest:
            if (n >= 3) {
                sum -= smallest;
                sum -= secondSmallest;
                n -= 2;
            }
            break;
        default:
            break;  // plain mean
        }

        if (n > 0) {
            const IndentorType indentor = first->GetIndentorType();
            out.AddTail(new CAverageIndent(x, sum / n, indentor, ScaleOf(indentor),
                                           first->GetTestLoad()));
        }
    }
}
