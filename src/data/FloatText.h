#pragma once

#include <string>

// The general floating format: up to 15 significant digits, trailing zeros
// dropped, fixed notation for magnitudes from 0.00001 up to 15 integer
// digits, otherwise scientific ("1.5E-7", "1E20").
std::string FloatToStr(double value);
