// Test-pattern templates: the planned indent positions of a pattern's first
// lane, computed from its spacing settings or taken from its stored (taught)
// indent types, and the saving of a pattern with its positions.

#include "profile/ProfileTemplate.h"

#include "profile/internal/OwnedObList.h"

using zen::profile::COwnedObList;

IMPLEMENT_DYNAMIC(CProfileTemplate, CObject)

namespace {

constexpr int kTeachInPattern = 1;      // PatternType: positions stored as indent types
constexpr int kSpacingStraight = 0;     // SpacingType: one straight line
constexpr int kSpacingZigZag = 1;       // odd indents shifted by ZigZagSpacing
constexpr int kSpacingAsTaught = 2;     // stored YPos kept (teach-in only)
constexpr int kLoadNone = 0;            // TestLoadMethod: no load fixed
constexpr int kLoadFromPattern = 1;     // TestLoadMethod: the pattern's TestLoad

}  // namespace

CProfileTemplate::CProfileTemplate() : m_Pattern(nullptr), m_IndentList(10)
{
}

CProfileTemplate::CProfileTemplate(int32_t patternID, CDatabase* db)
    : m_Pattern(nullptr), m_IndentList(10)
{
    m_Pattern.Database = db;
    LoadFromDB(patternID, db);
}

CProfileTemplate::~CProfileTemplate()
{
    DeleteIndentTypes();
}

void CProfileTemplate::DeleteIndentTypes()
{
    zen::profile::DeleteElements(m_IndentList);
}

CProfileTemplate& CProfileTemplate::operator=(const CProfileTemplate& other)
{
    if (this == &other)
        return *this;
    m_Pattern = other.m_Pattern;
    DeleteIndentTypes();
    POSITION pos = other.m_IndentList.GetHeadPosition();
    while (pos != nullptr) {
        const auto* type = static_cast<const CZENDB_IndentType*>(other.m_IndentList.GetNext(pos));
        auto* copy = new CZENDB_IndentType(nullptr);
        *copy = *type;
        m_IndentList.AddTail(copy);
    }
    return *this;
}

int CProfileTemplate::LoadFromDB(int32_t patternID, CDatabase* db)
{
    m_Pattern.Database = db;
    if (!m_Pattern.Load(patternID))
        return 0;

    DeleteIndentTypes();
    const CZENDB_Pattern& p = m_Pattern;

    if (p.PatternType != kTeachInPattern) {
        // Computed pattern: x_i = i * spacing + offset; zigzag shifts odd i.
        const double load = p.TestLoadMethod == kLoadFromPattern ? p.TestLoad : -1.0;
        if (p.SpacingType != kSpacingStraight && p.SpacingType != kSpacingZigZag)
            return 1;
        for (int i = 0; i < p.NrOfIndents; ++i) {
            const double x = i * p.SpacingBetweenIndents + p.XOffset;
            double y = 0.0;
            if (p.SpacingType == kSpacingZigZag && i % 2 == 1)
                y = p.ZigZagSpacing;
            m_IndentList.AddTail(new CZENDB_IndentType(nullptr, x, y, load));
        }
        return 1;
    }

    // Teach-in pattern: the stored positions, ordered by XPos.
    COwnedObList stored;
    if (!m_Pattern.GetAllIndentTypes(stored))
        return 0;  // an incomplete set of positions is never handed on
    int k = 0;
    POSITION pos = stored.GetHeadPosition();
    while (pos != nullptr) {
        auto* type = static_cast<CZENDB_IndentType*>(stored.GetNext(pos));
        if (p.TestLoadMethod == kLoadNone)
            type->TestLoad = -1.0;
        else if (p.TestLoadMethod == kLoadFromPattern)
            type->TestLoad = p.TestLoad;

        if (p.SpacingType == kSpacingStraight) {
            type->YPos = 0.0;
        } else if (p.SpacingType == kSpacingZigZag) {
            type->YPos = k % 2 == 1 ? p.ZigZagSpacing : 0.0;
            ++k;
        } else if (p.SpacingType != kSpacingAsTaught) {
            continue;
        }
        auto* copy = new CZENDB_IndentType(nullptr);
        *copy = *type;
        m_IndentList.AddTail(copy);
    }
    return 1;
}

int CProfileTemplate::SaveToDB(CDatabase* db)
{
    m_Pattern.Database = db;
    if (!m_Pattern.Save())
        return 0;

    // The stored set is replaced as a whole; adding to a set that could not be
    // cleared would store every position twice.
    if (!m_Pattern.DeleteAllIndentTypes())
        return 0;

    if (m_Pattern.PatternType == kTeachInPattern) {
        POSITION pos = m_IndentList.GetHeadPosition();
        while (pos != nullptr) {
            auto* type = static_cast<CZENDB_IndentType*>(m_IndentList.GetNext(pos));
            type->Database = db;
            type->PatternID = m_Pattern.PatternID;
            if (!type->Save())
                return 0;
        }
    }
    return 1;
}

CZENDB_Pattern* CProfileTemplate::GetPattern()
{
    return &m_Pattern;
}

CObList* CProfileTemplate::GetIndentList()
{
    return &m_IndentList;
}
