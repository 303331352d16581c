// Scales, indentors and limit-conversion kinds of hardness numbers. Kept in a
// header of their own (no dependencies) so that settings records and values
// can name them without pulling in the hardness arithmetic.
#pragma once

#include <cstdint>

// The scale of one hardness number.
enum HardnessType : int32_t {
    HV = 0,   // Vickers
    HK = 1,   // Knoop
    HRB = 2,  // Rockwell B
    HRC = 3   // Rockwell C
};

// The indentor that made an indent. Any other value is an unknown indentor.
enum IndentorType : int32_t {
    Vickers = 1,  // hardness in HV from the mean of both diagonals
    Knoop = 2     // hardness in HK from the long diagonal (stored as D1)
};

// The scale in which a hardness limit of a test pattern is entered.
enum HardnessConversionType : int32_t {
    NoConversion = 0,  // the scale of the measured values (HV or HK)
    FromHRB = 1,       // Rockwell B
    FromHRC = 2        // Rockwell C
};
