// Number helpers. Float-to-integer steps truncate toward zero; a value the
// 32-bit range cannot hold gives INT_MIN, as the processor's conversion does,
// instead of being left undefined.
#include <climits>
#include <cmath>

#include "core/utility.h"

void SinCosFloat(float angle, float* sine, float* cosine) {
    double a = static_cast<double>(angle);
    if (sine != nullptr) *sine = static_cast<float>(std::sin(a));
    if (cosine != nullptr) *cosine = static_cast<float>(std::cos(a));
}

int AbsInt(int value) {
    return value < 0 ? static_cast<int>(0u - static_cast<unsigned>(value)) : value;
}

double AbsFloat(float value) { return std::fabs(static_cast<double>(value)); }

int DoubleToInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int FloatToInt(float value) { return DoubleToInt(static_cast<double>(value)); }

void DoubleRectToInt(double x1, double y1, double x2, double y2, int* outX1, int* outY1, int* outX2,
                     int* outY2) {
    *outX1 = DoubleToInt(x1);
    *outY1 = DoubleToInt(y1);
    *outX2 = DoubleToInt(x2);
    *outY2 = DoubleToInt(y2);
}

float SqrtFloat(float value) { return std::sqrt(value); }
