// Floating-point operations that raise the run-time failures instead of
// trapping: an overflow, a division by zero and an invalid operation end the
// run, as they do with the hardware exceptions unmasked. Underflow, denormal
// operands and inexact results pass silently. Works for double and for the
// x87 extended type alike.
#pragma once

#include <cmath>

#include "tools/failure.h"

namespace orvalen {

template <typename Real>
inline Real CheckResult(Real result) {
  if (std::isnan(result)) RaiseInvalidOp();
  if (std::isinf(result)) RaiseOverflow();
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
inline double StoreAsDouble(long double value) {
  return CheckResult<double>(static_cast<double>(value));
}

}  // namespace orvalen
