#include "tools/failure.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace orvalen {
namespace {

TEST(Failure, KindsCarryTheirNamesAndMessages) {
  const struct {
    void (*raise)();
    const char* kind;
    std::u16string_view message;
  } cases[] = {
      {&RaiseRangeError, "ERangeError", u"Fehler bei Bereichsprüfung"},
      {&RaiseInvalidOp, "EInvalidOp", u"Ungültige Gleitkommaoperation"},
      {&RaiseZeroDivide, "EZeroDivide", u"Gleitkommadivision durch Null"},
      {&RaiseOverflow, "EOverflow", u"Gleitkommaüberlauf"},
      {&RaiseOutOfMemory, "EOutOfMemory", u"Zu wenig Arbeitsspeicher"},
  };
  for (const auto& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.kind << " not raised";
    } catch (const Failure& failure) {
      EXPECT_STREQ(c.kind, failure.KindName());
      EXPECT_EQ(c.message, failure.Message());
      EXPECT_NE(nullptr, failure.CodeAddress());
    }
  }
}

__attribute__((noinline)) void RaiseOpenFailure() {
  Raise<EFOpenError>(u"Datei a.nc kann nicht geöffnet werden. No such file or directory");
}

TEST(Failure, RecordsTheRaisingCodeAddress) {
  Dl_info own{};
  ASSERT_NE(0, dladdr(reinterpret_cast<void*>(&RaiseOpenFailure), &own));
  try {
    RaiseOpenFailure();
    FAIL();
  } catch (const EFOpenError& failure) {
    // The address lies in the program's own code, not in the library that
    // threw (the compiler may move the raising path to a cold section, so
    // it need not lie inside the function's main body).
    Dl_info where{};
    ASSERT_NE(0, dladdr(failure.CodeAddress(), &where));
    EXPECT_EQ(own.dli_fbase, where.dli_fbase);
    EXPECT_NE(nullptr, where.dli_fname);
    EXPECT_STREQ("EFOpenError", failure.KindName());
    EXPECT_STREQ("EFOpenError: Datei a.nc kann nicht geöffnet werden. No such file or directory",
                 failure.what());
  }
}

}  // namespace
}  // namespace orvalen
