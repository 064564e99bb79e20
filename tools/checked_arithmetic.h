// Floating-point operations that raise the run-time failures instead of
// trapping: an overflow, a division by zero and an invalid operation end the
// run, as they do with the hardware exceptions unmasked. Underflow, denormal
// operands and inexact results pass silently. Works for double, the x87
// extended type and any class type with free IsNan and IsInf found beside it
// (the legacy build's SoftExtended).
#pragma once

#include <cmath>

#include "tools/failure.h"

namespace orvalen {

// The NaN and infinity tests of the built-in types, under the names the
// class types give theirs, so that one template serves all of them.
inline bool IsNan(double value) {
  return std::isnan(value);
}
inline bool IsNan(long double value) {
  return std::isnan(value);
}
inline bool IsInf(double value) {
  return std::isinf(value);
}
inline bool IsInf(long double value) {
  return std::isinf(value);
}

template <typename Real>
inline Real CheckResult(Real result) {
  if (IsNan(result)) RaiseInvalidOp();
  if (IsInf(result)) RaiseOverflow();
  return result;
}

// The operands of these are always finite: every failure is raised where it
// first happens, so no infinity or NaN is ever stored.
template <typename Real>
inline Real CheckedAdd(Real a, Real b) {
  return CheckResult<Real>(a + b);
}
template <typename Real>
inline Real CheckedSub(Real a, Real b) {
  return CheckResult<Real>(a - b);
}
template <typename Real>
inline Real CheckedMul(Real a, Real b) {
  return CheckResult<Real>(a * b);
}
template <typename Real>
inline Real CheckedDiv(Real a, Real b) {
  if (b == 0) {
    if (a == 0) RaiseInvalidOp();
    RaiseZeroDivide();
  }
  return CheckResult<Real>(a / b);
}

// Rounds an extended value to the double it is stored as.
template <typename Ext>
inline double StoreAsDouble(Ext value) {
  return CheckResult<double>(static_cast<double>(value));
}

}  // namespace orvalen
