// Failures that end a run. Each carries the name of its kind, its message and
// the code address at which it was raised. Nothing below the run driver
// catches them; the run driver turns them into the failure report.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace orvalen {

class Failure : public std::exception {
 public:
  Failure(const char* kind_name, std::u16string message, const void* code_address);

  const char* KindName() const { return kind_name_; }
  const std::u16string& Message() const { return message_; }
  const void* CodeAddress() const { return code_address_; }
  // "Kind: message" in UTF-8, for diagnostics only.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  const char* kind_name_;
  std::u16string message_;
  const void* code_address_;
  std::string what_;
};

// The kinds carry the system's own names (EFOpenError, ERangeError, ...):
// the failure report shows them, so they are kept as they are.
#define ORVALEN_FAILURE_KIND(Name)                                \
  class Name : public Failure {                                   \
   public:                                                        \
    static constexpr const char* kKindName = #Name;               \
    Name(std::u16string message, const void* code_address)        \
        : Failure(kKindName, std::move(message), code_address) {} \
  };

ORVALEN_FAILURE_KIND(EFOpenError)
ORVALEN_FAILURE_KIND(EFCreateError)
ORVALEN_FAILURE_KIND(EWriteError)
ORVALEN_FAILURE_KIND(EEncodingError)
ORVALEN_FAILURE_KIND(EStringListError)
ORVALEN_FAILURE_KIND(ERangeError)
ORVALEN_FAILURE_KIND(EInvalidOp)
ORVALEN_FAILURE_KIND(EZeroDivide)
ORVALEN_FAILURE_KIND(EOverflow)
ORVALEN_FAILURE_KIND(EOutOfMemory)

#undef ORVALEN_FAILURE_KIND

// The messages of the run-time failures; the same in both programs.
inline constexpr std::u16string_view kRangeErrorMessage = u"Fehler bei Bereichsprüfung";
inline constexpr std::u16string_view kInvalidOpMessage = u"Ungültige Gleitkommaoperation";
inline constexpr std::u16string_view kZeroDivideMessage = u"Gleitkommadivision durch Null";
inline constexpr std::u16string_view kOverflowMessage = u"Gleitkommaüberlauf";
inline constexpr std::u16string_view kOutOfMemoryMessage = u"Zu wenig Arbeitsspeicher";

// Throws a failure of the given kind. The code address recorded is the
// caller's: the place in the program's code that raised the failure.
template <class Kind>
[[noreturn]] __attribute__((noinline)) void Raise(std::u16string message) {
  throw Kind(std::move(message), __builtin_extract_return_addr(__builtin_return_address(0)));
}

// The run-time failures with their fixed messages, recording the caller too.
[[noreturn]] void RaiseRangeError();
[[noreturn]] void RaiseInvalidOp();
[[noreturn]] void RaiseZeroDivide();
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseOutOfMemory();

}  // namespace orvalen
