// Basic numeric types and the fixed capacities of the system model.
#pragma once

#include <cstddef>

namespace ambrel {

// Every physical quantity is an 80-bit extended real in SI units.
using Real = long double;

inline constexpr int MAX_SPHERES = 2000;
inline constexpr int MAX_CONDUCTORS = 2000;

// Names in the tables are short texts; a description line is used up to 255 characters.
inline constexpr std::size_t NAME_LENGTH = 12;
inline constexpr std::size_t LINE_LENGTH = 255;


} // namespace ambrel
