// CHardnessValue: one hardness number in the scale of its indentor (HV or HK)
// with its Rockwell equivalent (HRB or HRC) and display texts, plus the domain
// arithmetic as static functions: hardness from load (gf) and diagonals (µm),
// HV/HK to HRB/HRC and the inverse search. -1.0 marks a missing number.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"
#include "hardness/HardnessTypes.h"

class CHardnessValue : public CObject {
    DECLARE_DYNAMIC(CHardnessValue)

public:
    // Vickers value from the load (gf) and both diagonals (µm): CalcHV, then
    // as the general constructor with (HV value, Vickers, load, HV).
    CHardnessValue(double load, double d1, double d2);
    // Knoop value from the load (gf) and the long diagonal (µm): CalcHK, then
    // as the general constructor with (HK value, Knoop, load, HK).
    CHardnessValue(double load, double diagonal);
    // A value given in `type`. HRB/HRC: the Rockwell field takes the value and
    // the HV/HK field the inverse search (-1.0 when it finds nothing within
    // 10). Any other type: the value is HV (HK for Knoop) and its Rockwell
    // conversion is stored where one is defined for it at this load (gf).
    CHardnessValue(double value, IndentorType indentor, double load, HardnessType type);
    CHardnessValue(const CHardnessValue& other);
    ~CHardnessValue() override = default;

    // Copies every field, display texts and the artificial flag included.
    // Virtual: a derived class keeps it visible with `using
    // CHardnessValue::operator=;` beside its own copy assignment.
    virtual CHardnessValue& operator=(const CHardnessValue& other);

    // The value in the indentor's own scale (HV or HK), or -1.0.
    virtual double GetHVHKHardness() const;
    // HRB if present, else HRC if present, else -1.0.
    virtual double GetRockwellHardness() const;
    // The scale in which the value was given at construction.
    virtual HardnessType GetOriginalHardnessType() const;
    // HK for a Knoop indentor, else HV.
    virtual HardnessType GetHVHKHardnessType() const;
    // HRB if present, else HRC if present, else HV (0).
    virtual HardnessType GetRockwellHardnessType() const;
    // GetRockwellHardness() when rockwell is true, else GetHVHKHardness().
    virtual double GetHardness(bool rockwell) const;
    virtual IndentorType GetIndentorType() const;
    // Sets the HRB (type HRB) or HRC (type HRC) field from outside and marks
    // the value artificial; any other type changes nothing. The Rockwell text
    // is rebuilt from GetRockwellHardness() in GetRockwellHardnessType()
    // (emptied when no Rockwell value remains). The other Rockwell field, the
    // HV/HK field, the indentor and the original type stay as they were.
    virtual void ResetRockwellHardness(double value, IndentorType indentor, HardnessType type);
    // A field holds a value when it is >= 0.0.
    virtual bool HasHRB() const;
    virtual bool HasHRC() const;
    virtual bool HasRockwellHardness() const;
    virtual bool HasHVHK() const;
    // True once ResetRockwellHardness set a Rockwell value.
    virtual bool IsArtificial() const;
    // Display text of the HV/HK value, e.g. "413 HK"; empty when missing.
    // Formatted on each call from the number: most values (every indent and
    // lane average of an evaluation) are never shown, so construction formats
    // nothing; a const value keeps no cache and may be read from any thread.
    virtual CString GetHardnessString() const;
    // Display text of the Rockwell value, e.g. "50 HRC"; empty when missing.
    // Formatted on each call like GetHardnessString, except after
    // ResetRockwellHardness, which fixes the text it made then.
    virtual CString GetRockwellHardnessString() const;

    // load * 1854.4 / d^2 with d the mean diagonal (µm), load in gf;
    // -1.0 when d is 0.0. Signs are not checked.
    static double CalcHV(double load, double d1, double d2);
    // load * 14229.0 / diagonal^2; -1.0 when the square is 0.0.
    static double CalcHK(double load, double diagonal);
    // HRB from HV for 100.0 <= hv <= 240.0, else -1.0.
    static double HVToHRB(double hv);
    // HRC from HV for 240.0 <= hv <= 940.0, else -1.0.
    static double HVToHRC(double hv);
    // HRB from HK for 87.0 <= hk <= 251.0 at a load >= 500 gf, else -1.0.
    static double HKToHRB(double hk, double load);
    // HRC from HK for 251.0 <= hk <= 920.0 at a load >= 500 gf, else -1.0.
    static double HKToHRC(double hk, double load);
    // The Rockwell value of an HV/HK value, HRB preferred where the ranges
    // meet (240 HV, 251 HK), its scale stored in *resultType (if not null).
    // convert == 0 or an unknown indentor: value unchanged. No conversion
    // defined: -1.0. *resultType is written only when a conversion is made.
    static double GetConvertedHardness(double value, IndentorType indentor, double load, int convert,
                                       HardnessType* resultType);
    // The HV/HK number on a 0.5 grid whose HRB/HRC (per `type`) lies nearest
    // to `value` (first of equals), or -1.0 when none lies within 10.0 or the
    // indentor is unknown. A type other than HRB/HRC returns value unchanged.
    static double ConvertToHVHK(double value, IndentorType indentor, HardnessType type);
    // value formatted "%0.0f" with " HRB"/" HRC" when *type is a Rockwell
    // scale ("-1" alone for exactly -1.0), else " HK" for Knoop or " HV".
    static CString GetHardnessString(double value, IndentorType indentor, HardnessType* type);

private:
    double m_dHVHKHardness;
    HardnessType m_OriginalHardnessType;
    IndentorType m_IndentorType;
    double m_dHRBHardness;
    double m_dHRCHardness;
    // The Rockwell text made by ResetRockwellHardness; read only when
    // m_bArtificial is set (the only way to set it), otherwise both texts
    // follow from the numbers.
    CString m_strRockwellHardness;
    bool m_bArtificial;
};
