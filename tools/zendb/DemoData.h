// Realistic demonstration data for `zendb demo`: hardness-depth curves of
// case-hardened, induction surface-hardened and nitrided parts, measured with
// noise from a seeded generator (the same seed gives the same data on every
// machine), and the diagonals an indent of that hardness would have.
#pragma once

#include "hardness/HardnessTypes.h"

#include <cstdint>
#include <vector>

namespace zendb {

// SplitMix64 with Box-Muller normals: small, fast and identical everywhere
// (the standard library's distributions differ between implementations).
class CDemoRandom {
public:
    explicit CDemoRandom(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // Uniform in [0, 1).
    double Uniform();
    double Uniform(double low, double high) { return low + (high - low) * Uniform(); }
    int Integer(int low, int high);   // inclusive
    double Normal(double mean, double sigma);
    bool Chance(double probability) { return Uniform() < probability; }

private:
    uint64_t m_state;
    bool m_haveSpare = false;
    double m_spare = 0.0;
};

enum class EDemoProcess { CaseHardening, SurfaceHardening, Nitriding };

// A true hardness-depth curve H(x) (x in mm, H in HV or HK) whose limit
// depth (550 HV; 80 % of 600 HV; core + 50) lies at the given depth.
class CDemoCurve {
public:
    // Draws the curve's parameters for the process with the limit depth at
    // `depth` mm.
    CDemoCurve(EDemoProcess process, double depth, CDemoRandom& random);
    double Hardness(double x) const;
    EDemoProcess Process() const { return m_process; }

private:
    EDemoProcess m_process;
    double m_surface = 0.0;
    double m_core = 0.0;
    double m_middle = 0.0;   // centre of the transition (case, surface hardening)
    double m_width = 0.0;    // width of the transition
    double m_power = 2.0;    // nitriding: exponent of the bell
    double m_dip = 0.0;      // case hardening: softer surface (retained austenite)
};

// The diagonals (µm) of an indent of hardness `hardness` made by the
// indentor at `load` gf: Vickers d = sqrt(1854.4 L / HV) split into two
// slightly different diagonals of the same mean; Knoop the long diagonal
// sqrt(14229 L / HK) and the short one 1/7.11 of it. Rounded to 0.01 µm as
// the measuring system reports them.
struct CDemoDiagonals {
    double d1;
    double d2;
};
CDemoDiagonals DiagonalsFor(double hardness, IndentorType indentor, double load, CDemoRandom& random);

// The inverse of erfc on (0, 2), by bisection (|error| < 1e-12).
double InverseErfc(double q);

} // namespace zendb
