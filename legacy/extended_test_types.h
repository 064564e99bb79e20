// The extended types the legacy number rules are tested in: the x87's long
// double where this machine has one (the production type and the reference),
// and SoftExtended everywhere. Test names end in /x87 or /soft.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "legacy/legacy_extended.h"

namespace orvalen {

#if ORVALEN_LONG_DOUBLE_IS_X87
using ExtendedTypes = ::testing::Types<long double, SoftExtended>;
#else
using ExtendedTypes = ::testing::Types<SoftExtended>;
#endif

struct ExtendedTypeName {
  template <typename Ext>
  static std::string GetName(int) {
    return std::is_same_v<Ext, SoftExtended> ? "soft" : "x87";
  }
};

}  // namespace orvalen
