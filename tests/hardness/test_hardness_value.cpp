// Tests of the hardness arithmetic and CHardnessValue: Vickers/Knoop numbers,
// the conversion ranges and their inclusive bounds, the inverse grid search,
// display texts, construction from every scale, copying and Rockwell reset.
#include "hardness/HardnessValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

constexpr double kMissing = -1.0;
constexpr double kTol = 1e-9;

static_assert(sizeof(HardnessType) == 4 && sizeof(IndentorType) == 4 && sizeof(HardnessConversionType) == 4);
static_assert(HV == 0 && HK == 1 && HRB == 2 && HRC == 3);
static_assert(Vickers == 1 && Knoop == 2);
static_assert(NoConversion == 0 && FromHRB == 1 && FromHRC == 2);

TEST(HardnessCalc, HardnessFromLoadAndDiagonals)
{
    EXPECT_NEAR(CHardnessValue::CalcHV(100.0, 50.0, 50.0), 74.176, kTol);
    EXPECT_NEAR(CHardnessValue::CalcHV(100.0, 40.0, 60.0), 74.176, kTol);  // mean diagonal
    EXPECT_EQ(CHardnessValue::CalcHV(100.0, 30.0, -30.0), kMissing);      // mean diagonal 0.0
    EXPECT_EQ(CHardnessValue::CalcHV(100.0, 0.0, 0.0), kMissing);
    EXPECT_NEAR(CHardnessValue::CalcHK(500.0, 50.0), 2845.8, kTol);
    EXPECT_NEAR(CHardnessValue::CalcHK(500.0, -50.0), 2845.8, kTol);  // sign not checked
    EXPECT_EQ(CHardnessValue::CalcHK(500.0, 0.0), kMissing);
}

// Reference numbers of the empirical formulas at the range ends; -1 outside.
TEST(HardnessCalc, ForwardConversionsHaveInclusiveBounds)
{
    struct Case {
        const char* name;
        double (*convert)(double, double);
        double x;
        double load;
        double expected;
    };
    const auto hvToHrb = [](double x, double) { return CHardnessValue::HVToHRB(x); };
    const auto hvToHrc = [](double x, double) { return CHardnessValue::HVToHRC(x); };
    const auto hkToHrb = [](double x, double load) { return CHardnessValue::HKToHRB(x, load); };
    const auto hkToHrc = [](double x, double load) { return CHardnessValue::HKToHRC(x, load); };
    const Case cases[] = {
        {"HVToHRB 99.9", hvToHrb, 99.9, 0.0, kMissing},
        {"HVToHRB 100", hvToHrb, 100.0, 0.0, 55.121600000000015},
        {"HVToHRB 240", hvToHrb, 240.0, 0.0, 99.784232},
        {"HVToHRB 240.1", hvToHrb, 240.1, 0.0, kMissing},
        {"HVToHRC 239.9", hvToHrc, 239.9, 0.0, kMissing},
        {"HVToHRC 240", hvToHrc, 240.0, 0.0, 20.528463167999995},
        {"HVToHRC 240.1", hvToHrc, 240.1, 0.0, 20.546399003443316},
        {"HVToHRC 940", hvToHrc, 940.0, 0.0, 67.8047878267234},
        {"HVToHRC 940.1", hvToHrc, 940.1, 0.0, kMissing},
        {"HKToHRB 86.9", hkToHrb, 86.9, 500.0, kMissing},
        {"HKToHRB 87", hkToHrb, 87.0, 500.0, 28.846309445160927},
        {"HKToHRB 251", hkToHrb, 251.0, 500.0, 99.65531073901593},
        {"HKToHRB 251.1", hkToHrb, 251.1, 500.0, kMissing},
        {"HKToHRB 499.9 gf", hkToHrb, 100.0, 499.9, kMissing},
        {"HKToHRC 250.9", hkToHrc, 250.9, 500.0, kMissing},
        {"HKToHRC 251", hkToHrc, 251.0, 500.0, 20.114316443298392},
        {"HKToHRC 300 at 500 gf", hkToHrc, 300.0, 500.0, 28.44058533333333},
        {"HKToHRC 300 at 300 gf", hkToHrc, 300.0, 300.0, kMissing},
        {"HKToHRC 920", hkToHrc, 920.0, 500.0, 68.1502253947826},
        {"HKToHRC 920.1", hkToHrc, 920.1, 500.0, kMissing},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.convert(c.x, c.load), c.expected, kTol) << c.name;
}

TEST(HardnessCalc, GetConvertedHardnessChoosesScaleByRange)
{
    constexpr auto kUntouched = static_cast<HardnessType>(77);
    struct Case {
        double value;
        IndentorType indentor;
        double load;
        int convert;
        double expected;  // NAN: compare with the forward function below
        HardnessType expectedType;
    };
    const auto unknown = static_cast<IndentorType>(0);
    const Case cases[] = {
        {99.9, Vickers, 0.0, 1, kMissing, kUntouched},
        {100.0, Vickers, 0.0, 1, CHardnessValue::HVToHRB(100.0), HRB},
        {240.0, Vickers, 0.0, 1, CHardnessValue::HVToHRB(240.0), HRB},
        {240.1, Vickers, 0.0, 1, CHardnessValue::HVToHRC(240.1), HRC},
        {940.0, Vickers, 0.0, 1, CHardnessValue::HVToHRC(940.0), HRC},
        {940.1, Vickers, 0.0, 1, kMissing, kUntouched},
        {86.9, Knoop, 500.0, 1, kMissing, kUntouched},
        {87.0, Knoop, 500.0, 1, CHardnessValue::HKToHRB(87.0, 500.0), HRB},
        {251.0, Knoop, 500.0, 1, CHardnessValue::HKToHRB(251.0, 500.0), HRB},
        {300.0, Knoop, 300.0, 1, kMissing, kUntouched},
        {300.0, Knoop, 500.0, 1, CHardnessValue::HKToHRC(300.0, 500.0), HRC},
        {920.1, Knoop, 500.0, 1, kMissing, kUntouched},
        {412.0, Vickers, 0.0, 0, 412.0, kUntouched},  // convert 0: unchanged
        {412.0, unknown, 0.0, 1, 412.0, kUntouched},  // unknown indentor
    };
    for (const Case& c : cases) {
        HardnessType type = kUntouched;
        const double result = CHardnessValue::GetConvertedHardness(c.value, c.indentor, c.load, c.convert, &type);
        EXPECT_DOUBLE_EQ(result, c.expected) << c.value << " indentor " << c.indentor << " load " << c.load;
        EXPECT_EQ(type, c.expectedType) << c.value << " indentor " << c.indentor << " load " << c.load;
        // A null result type is allowed.
        EXPECT_DOUBLE_EQ(CHardnessValue::GetConvertedHardness(c.value, c.indentor, c.load, c.convert, nullptr),
                         c.expected);
    }
}

TEST(HardnessCalc, InverseSearchOnTheHalfGrid)
{
    const auto unknown = static_cast<IndentorType>(0);
    struct Case {
        double value;
        IndentorType indentor;
        HardnessType type;
        double expected;
    };
    const Case cases[] = {
        {50.0, Vickers, HRC, 514.5},
        {55.0, Vickers, HRC, 595.0},
        {75.0, Vickers, HRC, 939.5},                 // last candidate, 7.2 away
        {80.0, Vickers, HRC, kMissing},              // nothing within 10
        {10.0, Vickers, HRC, kMissing},
        {19.167536665987228, Vickers, HRC, 238.0},   // the grid starts below 240
        {90.0, Vickers, HRB, 185.0},
        {30.0, Vickers, HRB, kMissing},
        {60.0, Knoop, HRB, 120.5},
        {40.0, Knoop, HRC, 402.5},
        {345.6, Vickers, HV, 345.6},                 // not a Rockwell type: unchanged
        {345.6, Knoop, HK, 345.6},
        {50.0, unknown, HRC, kMissing},
        {345.6, unknown, HV, kMissing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CHardnessValue::ConvertToHVHK(c.value, c.indentor, c.type), c.expected)
            << c.value << " indentor " << c.indentor << " type " << c.type;

    // The best candidate must lie strictly within 10.0 of the target.
    const double first = CHardnessValue::HVToHRB(100.0);
    EXPECT_EQ(CHardnessValue::ConvertToHVHK(first - 9.9, Vickers, HRB), 100.0);
    EXPECT_EQ(CHardnessValue::ConvertToHVHK(first - 10.1, Vickers, HRB), kMissing);
}

TEST(HardnessCalc, DisplayTexts)
{
    HardnessType hv = HV;
    HardnessType hrb = HRB;
    HardnessType hrc = HRC;
    struct Case {
        double value;
        IndentorType indentor;
        HardnessType* type;
        const char* expected;
    };
    const Case cases[] = {
        {-1.0, Vickers, &hrc, "-1"},
        {-1.0, Vickers, &hv, "-1 HV"},
        {-1.0, Vickers, nullptr, "-1 HV"},
        {412.6, Knoop, nullptr, "413 HK"},
        {412.6, Knoop, &hv, "413 HK"},  // the suffix follows the indentor
        {412.4, Vickers, nullptr, "412 HV"},
        {50.2, Vickers, &hrc, "50 HRC"},
        {89.7, Knoop, &hrb, "90 HRB"},
        {-1.2, Vickers, &hrb, "-1 HRB"},  // only exactly -1.0 drops the suffix
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(CHardnessValue::GetHardnessString(c.value, c.indentor, c.type)), c.expected)
            << c.value;
}

struct Expectation {
    const char* name;
    CHardnessValue value;
    double hvhk;
    double rockwell;
    HardnessType original;
    HardnessType hvhkType;
    HardnessType rockwellType;
    const char* text;
    const char* rockwellText;
};

TEST(HardnessValue, ConstructionFromEveryScale)
{
    const Expectation cases[] = {
        {"Vickers diagonals", CHardnessValue(100.0, 50.0, 50.0), 74.176, kMissing, HV, HV, HV, "74 HV", ""},
        {"Vickers 100 HV", CHardnessValue(100.0, Vickers, 0.0, HV), 100.0, CHardnessValue::HVToHRB(100.0), HV, HV,
         HRB, "100 HV", "55 HRB"},
        {"Vickers 600 HV", CHardnessValue(600.0, Vickers, 0.0, HV), 600.0, CHardnessValue::HVToHRC(600.0), HV, HV,
         HRC, "600 HV", "55 HRC"},
        {"given type ignored", CHardnessValue(600.0, Knoop, 500.0, HV), 600.0, CHardnessValue::HKToHRC(600.0, 500.0),
         HK, HK, HRC, "600 HK", "53 HRC"},
        {"Knoop 300 gf", CHardnessValue(300.0, Knoop, 300.0, HK), 300.0, kMissing, HK, HK, HV, "300 HK", ""},
        {"Knoop 500 gf", CHardnessValue(300.0, Knoop, 500.0, HK), 300.0, CHardnessValue::HKToHRC(300.0, 500.0), HK,
         HK, HRC, "300 HK", "28 HRC"},
        {"Knoop diagonal", CHardnessValue(500.0, 50.0), 2845.8, kMissing, HK, HK, HV, "2846 HK", ""},
        {"from 55 HRC", CHardnessValue(55.0, Vickers, 600.0, HRC), 595.0, 55.0, HRC, HV, HRC, "595 HV", "55 HRC"},
        {"from 90 HRB", CHardnessValue(90.0, Vickers, 600.0, HRB), 185.0, 90.0, HRB, HV, HRB, "185 HV", "90 HRB"},
        {"from 80 HRC", CHardnessValue(80.0, Vickers, 600.0, HRC), kMissing, 80.0, HRC, HV, HRC, "", "80 HRC"},
        {"missing HV", CHardnessValue(100.0, 30.0, -30.0), kMissing, kMissing, HV, HV, HV, "", ""},
    };
    for (const Expectation& c : cases) {
        const CHardnessValue& v = c.value;
        EXPECT_NEAR(v.GetHVHKHardness(), c.hvhk, kTol) << c.name;
        EXPECT_NEAR(v.GetRockwellHardness(), c.rockwell, kTol) << c.name;
        EXPECT_NEAR(v.GetHardness(false), c.hvhk, kTol) << c.name;
        EXPECT_NEAR(v.GetHardness(true), c.rockwell, kTol) << c.name;
        EXPECT_EQ(v.GetOriginalHardnessType(), c.original) << c.name;
        EXPECT_EQ(v.GetHVHKHardnessType(), c.hvhkType) << c.name;
        EXPECT_EQ(v.GetRockwellHardnessType(), c.rockwellType) << c.name;
        EXPECT_EQ(v.HasHVHK(), c.hvhk >= 0.0) << c.name;
        EXPECT_EQ(v.HasRockwellHardness(), c.rockwell >= 0.0) << c.name;
        EXPECT_EQ(v.HasHRB(), c.rockwell >= 0.0 && c.rockwellType == HRB) << c.name;
        EXPECT_EQ(v.HasHRC(), c.rockwell >= 0.0 && c.rockwellType == HRC) << c.name;
        EXPECT_FALSE(v.IsArtificial()) << c.name;
        EXPECT_EQ(std::string(v.GetHardnessString()), c.text) << c.name;
        EXPECT_EQ(std::string(v.GetRockwellHardnessString()), c.rockwellText) << c.name;
    }
    EXPECT_EQ(CHardnessValue(100.0, 50.0, 50.0).GetIndentorType(), Vickers);
    EXPECT_EQ(CHardnessValue(500.0, 50.0).GetIndentorType(), Knoop);
    EXPECT_STREQ(CHardnessValue(1.0, 1.0).GetRuntimeClass()->m_lpszClassName, "CHardnessValue");
    EXPECT_TRUE(CHardnessValue(1.0, 1.0).IsKindOf(RUNTIME_CLASS(CObject)));
}

TEST(HardnessValue, ResetRockwellHardness)
{
    // A value holding only HRC gets an HRB from outside.
    CHardnessValue v(50.0, Vickers, 600.0, HRC);
    v.ResetRockwellHardness(30.0, Vickers, HRB);
    EXPECT_EQ(v.GetRockwellHardness(), 30.0);
    EXPECT_EQ(v.GetRockwellHardnessType(), HRB);
    EXPECT_TRUE(v.IsArtificial());
    EXPECT_TRUE(v.HasHRC());  // the old HRC is kept
    EXPECT_EQ(v.GetOriginalHardnessType(), HRC);
    EXPECT_EQ(v.GetHVHKHardness(), 514.5);
    EXPECT_EQ(std::string(v.GetRockwellHardnessString()), "30 HRB");

    // Any other type changes nothing, the flag included.
    CHardnessValue untouched(600.0, Vickers, 0.0, HV);
    untouched.ResetRockwellHardness(12.0, Vickers, HV);
    EXPECT_FALSE(untouched.IsArtificial());
    EXPECT_EQ(std::string(untouched.GetRockwellHardnessString()), "55 HRC");

    // Setting HRC while HRB is held: the text labels the reported (HRB) number
    // with its own scale.
    CHardnessValue soft(200.0, Vickers, 0.0, HV);
    ASSERT_TRUE(soft.HasHRB());
    soft.ResetRockwellHardness(50.0, Vickers, HRC);
    EXPECT_TRUE(soft.HasHRC());
    EXPECT_EQ(soft.GetRockwellHardnessType(), HRB);
    EXPECT_EQ(std::string(soft.GetRockwellHardnessString()), "93 HRB");

    // Clearing the only Rockwell value clears its text too.
    CHardnessValue hard(600.0, Vickers, 0.0, HV);
    hard.ResetRockwellHardness(-1.0, Vickers, HRC);
    EXPECT_FALSE(hard.HasRockwellHardness());
    EXPECT_TRUE(hard.IsArtificial());
    EXPECT_EQ(std::string(hard.GetRockwellHardnessString()), "");
    EXPECT_EQ(std::string(hard.GetHardnessString()), "600 HV");
}

TEST(HardnessValue, CopyAndAssignmentKeepEveryField)
{
    CHardnessValue source(50.0, Vickers, 600.0, HRC);
    source.ResetRockwellHardness(30.0, Vickers, HRB);

    const CHardnessValue copy(source);
    CHardnessValue assigned(100.0, 50.0, 50.0);
    assigned = source;
    for (const CHardnessValue* v : {&copy, static_cast<const CHardnessValue*>(&assigned)}) {
        EXPECT_EQ(v->GetHVHKHardness(), source.GetHVHKHardness());
        EXPECT_EQ(v->GetRockwellHardness(), 30.0);
        EXPECT_TRUE(v->HasHRC());
        EXPECT_EQ(v->GetOriginalHardnessType(), HRC);
        EXPECT_EQ(v->GetIndentorType(), Vickers);
        EXPECT_TRUE(v->IsArtificial());
        EXPECT_EQ(std::string(v->GetHardnessString()), std::string(source.GetHardnessString()));
        EXPECT_EQ(std::string(v->GetRockwellHardnessString()), "30 HRB");
    }
}

// The derived answers go through the virtual predicates.
class CNoHRBValue : public CHardnessValue {
public:
    using CHardnessValue::CHardnessValue;
    using CHardnessValue::operator=;
    bool HasHRB() const override { return false; }
};

TEST(HardnessValue, AccessorsDispatchThroughOverrides)
{
    CNoHRBValue v(200.0, Vickers, 0.0, HV);
    const CHardnessValue& base = v;
    EXPECT_FALSE(base.HasRockwellHardness());
    EXPECT_EQ(base.GetRockwellHardness(), kMissing);
    EXPECT_EQ(base.GetRockwellHardnessType(), HV);
    EXPECT_EQ(base.GetHardness(true), kMissing);
    // The texts are those the constructor made, where no override reaches.
    EXPECT_EQ(std::string(base.GetRockwellHardnessString()), "93 HRB");
    EXPECT_EQ(std::string(base.GetHardnessString()), "200 HV");
}

} // namespace
