// Realistic demonstration data for `zendb demo` (see DemoData.h).
//
// Curves, x in mm:
//   case hardening     H = core + (surface - core) * erfc((x - m) / s) / 2 - dip * exp(-x / 0.08)
//   surface hardening  H = core + (surface - core) / (1 + exp((x - m) / s))
//   nitriding          H = core + A * exp(-(x / w)^p)
// Each is solved for its centre (m, or w) so that it passes the limit
// hardness (550 HV; 480 HV = 80 % of 600 HV; core + 50) at the drawn depth.
#include "DemoData.h"

#include <cmath>

namespace zendb {

uint64_t CDemoRandom::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double CDemoRandom::Uniform()
{
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

int CDemoRandom::Integer(int low, int high)
{
    return low + static_cast<int>(Uniform() * (high - low + 1));
}

double CDemoRandom::Normal(double mean, double sigma)
{
    if (m_haveSpare) {
        m_haveSpare = false;
        return mean + sigma * m_spare;
    }
    double u = 0.0;
    do
        u = Uniform();
    while (u <= 1e-300);
    const double v = Uniform();
    const double radius = std::sqrt(-2.0 * std::log(u));
    m_spare = radius * std::sin(2.0 * M_PI * v);
    m_haveSpare = true;
    return mean + sigma * radius * std::cos(2.0 * M_PI * v);
}

double InverseErfc(double q)
{
    // erfc falls from 2 to 0; find t with erfc(t) = q.
    double low = -8.0;
    double high = 8.0;
    for (int i = 0; i < 200 && high - low > 1e-13; ++i) {
        const double middle = 0.5 * (low + high);
        if (std::erfc(middle) > q)
            low = middle;
        else
            high = middle;
    }
    return 0.5 * (low + high);
}

CDemoCurve::CDemoCurve(EDemoProcess process, double depth, CDemoRandom& random) : m_process(process)
{
    switch (process) {
    case EDemoProcess::CaseHardening: {
        m_surface = random.Uniform(690.0, 770.0);
        m_core = random.Uniform(330.0, 440.0);
        m_width = depth * random.Uniform(0.28, 0.38);
        m_dip = random.Chance(0.3) ? random.Uniform(10.0, 45.0) : 0.0;
        const double q = 2.0 * (550.0 - m_core) / (m_surface - m_core);
        m_middle = depth - m_width * InverseErfc(q);
        break;
    }
    case EDemoProcess::SurfaceHardening: {
        m_surface = random.Uniform(605.0, 665.0);
        m_core = random.Uniform(215.0, 270.0);
        m_width = random.Uniform(0.10, 0.18);
        m_middle = depth - m_width * std::log((m_surface - m_core) / (480.0 - m_core) - 1.0);
        break;
    }
    case EDemoProcess::Nitriding: {
        m_core = random.Uniform(285.0, 335.0);
        m_surface = m_core + random.Uniform(430.0, 600.0);
        m_power = random.Uniform(1.8, 2.3);
        const double amplitude = m_surface - m_core;
        m_width = depth / std::pow(std::log(amplitude / 50.0), 1.0 / m_power);
        break;
    }
    }
}

double CDemoCurve::Hardness(double x) const
{
    switch (m_process) {
    case EDemoProcess::CaseHardening:
        return m_core + (m_surface - m_core) * 0.5 * std::erfc((x - m_middle) / m_width) -
               m_dip * std::exp(-x / 0.08);
    case EDemoProcess::SurfaceHardening:
        return m_core + (m_surface - m_core) / (1.0 + std::exp((x - m_middle) / m_width));
    case EDemoProcess::Nitriding:
        return m_core + (m_surface - m_core) * std::exp(-std::pow(x / m_width, m_power));
    }
    return m_core;
}

namespace {

double Round2(double value)
{
    return std::round(value * 100.0) / 100.0;
}

} // namespace

CDemoDiagonals DiagonalsFor(double hardness, IndentorType indentor, double load, CDemoRandom& random)
{
    if (indentor == Knoop) {
        const double d1 = std::sqrt(14229.0 * load / hardness);
        return {Round2(d1), Round2(d1 / 7.11)};
    }
    const double d = std::sqrt(1854.4 * load / hardness);
    const double skew = random.Normal(0.0, 0.004);
    return {Round2(d * (1.0 + skew)), Round2(d * (1.0 - skew))};
}

} // namespace zendb
