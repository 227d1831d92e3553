// Wine's math.h, completed with what the Windows SDK's declares. long double is double in this
// ABI, so its functions call the double ones, as the SDK's inline versions do. The classifying
// macros become the overloads Microsoft's STL brings into std.
#pragma once
#include_next <math.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP double __cdecl erfc(double);
_ACRTIMP float __cdecl erfcf(float);
_ACRTIMP double __cdecl fma(double, double, double);
_ACRTIMP float __cdecl fmaf(float, float, float);
_ACRTIMP double __cdecl nan(const char*);
_ACRTIMP float __cdecl nanf(const char*);
_ACRTIMP double __cdecl nexttoward(double, long double);
_ACRTIMP float __cdecl nexttowardf(float, long double);
typedef double double_t;
typedef float float_t;

#define _TALLYRIG_LD1(name)                           \
  inline long double __cdecl name##l(long double x) { \
    return name((double)x);                           \
  }
#define _TALLYRIG_LD2(name)                                          \
  inline long double __cdecl name##l(long double x, long double y) { \
    return name((double)x, (double)y);                               \
  }
// clang-format off
_TALLYRIG_LD1(acos)
_TALLYRIG_LD1(acosh)
_TALLYRIG_LD1(asin)
_TALLYRIG_LD1(asinh)
_TALLYRIG_LD1(atan)
_TALLYRIG_LD1(atanh)
_TALLYRIG_LD1(cbrt)
_TALLYRIG_LD1(ceil)
_TALLYRIG_LD1(cos)
_TALLYRIG_LD1(cosh)
_TALLYRIG_LD1(erf)
_TALLYRIG_LD1(erfc)
_TALLYRIG_LD1(exp)
_TALLYRIG_LD1(exp2)
_TALLYRIG_LD1(expm1)
_TALLYRIG_LD1(fabs)
_TALLYRIG_LD1(floor)
_TALLYRIG_LD1(lgamma)
_TALLYRIG_LD1(log)
_TALLYRIG_LD1(log10)
_TALLYRIG_LD1(log1p)
_TALLYRIG_LD1(log2)
_TALLYRIG_LD1(logb)
_TALLYRIG_LD1(nearbyint)
_TALLYRIG_LD1(rint)
_TALLYRIG_LD1(round)
_TALLYRIG_LD1(sin)
_TALLYRIG_LD1(sinh)
_TALLYRIG_LD1(sqrt)
_TALLYRIG_LD1(tan)
_TALLYRIG_LD1(tanh)
_TALLYRIG_LD1(tgamma)
_TALLYRIG_LD1(trunc)
_TALLYRIG_LD2(atan2)
_TALLYRIG_LD2(copysign)
_TALLYRIG_LD2(fdim)
_TALLYRIG_LD2(fmax)
_TALLYRIG_LD2(fmin)
_TALLYRIG_LD2(fmod)
_TALLYRIG_LD2(hypot)
_TALLYRIG_LD2(nextafter)
_TALLYRIG_LD2(pow)
_TALLYRIG_LD2(remainder)
_TALLYRIG_LD2(nexttoward)
// clang-format on
#undef _TALLYRIG_LD1
#undef _TALLYRIG_LD2
inline long double __cdecl fmal(long double x, long double y, long double z) {
  return fma((double)x, (double)y, (double)z);
}
inline long double __cdecl frexpl(long double x, int* e) {
  return frexp((double)x, e);
}
inline long double __cdecl ldexpl(long double x, int e) {
  return ldexp((double)x, e);
}
inline long double __cdecl modfl(long double x, long double* i) {
  double whole;
  double part = modf((double)x, &whole);
  *i = whole;
  return part;
}
inline long double __cdecl scalbnl(long double x, int e) {
  return scalbn((double)x, e);
}
inline long double __cdecl scalblnl(long double x, long e) {
  return scalbln((double)x, e);
}
inline int __cdecl ilogbl(long double x) {
  return ilogb((double)x);
}
inline long __cdecl lrintl(long double x) {
  return lrint((double)x);
}
inline long __cdecl lroundl(long double x) {
  return lround((double)x);
}
inline long long __cdecl llrintl(long double x) {
  return llrint((double)x);
}
inline long long __cdecl llroundl(long double x) {
  return llround((double)x);
}
inline long double __cdecl remquol(long double x, long double y, int* q) {
  return remquo((double)x, (double)y, q);
}
inline long double __cdecl nanl(const char* tag) {
  return nan(tag);
}
#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#undef fpclassify
#undef signbit
#undef isinf
#undef isnan
#undef isnormal
#undef isfinite
extern "C++" {
inline int fpclassify(float x) noexcept {
  return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, x);
}
inline int fpclassify(double x) noexcept {
  return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, x);
}
inline int fpclassify(long double x) noexcept {
  return fpclassify((double)x);
}
inline bool signbit(float x) noexcept {
  return __builtin_signbit(x);
}
inline bool signbit(double x) noexcept {
  return __builtin_signbit(x);
}
inline bool signbit(long double x) noexcept {
  return __builtin_signbit((double)x);
}
}
#endif
