#include "tools/failure.h"

#include "tools/utf8.h"

namespace orvalen {

Failure::Failure(const char* kind_name, std::u16string message, const void* code_address)
    : kind_name_(kind_name), message_(std::move(message)), code_address_(code_address) {
  what_ = std::string(kind_name_) + ": " + ToUtf8(message_);
}

namespace {

template <class Kind>
[[noreturn]] void RaiseAt(std::u16string_view message, const void* address) {
  throw Kind(std::u16string(message), address);
}

}  // namespace

#define ORVALEN_CALLER __builtin_extract_return_addr(__builtin_return_address(0))

__attribute__((noinline)) void RaiseRangeError() {
  RaiseAt<ERangeError>(kRangeErrorMessage, ORVALEN_CALLER);
}
__attribute__((noinline)) void RaiseInvalidOp() {
  RaiseAt<EInvalidOp>(kInvalidOpMessage, ORVALEN_CALLER);
}
__attribute__((noinline)) void RaiseZeroDivide() {
  RaiseAt<EZeroDivide>(kZeroDivideMessage, ORVALEN_CALLER);
}
__attribute__((noinline)) void RaiseOverflow() {
  RaiseAt<EOverflow>(kOverflowMessage, ORVALEN_CALLER);
}
__attribute__((noinline)) void RaiseOutOfMemory() {
  RaiseAt<EOutOfMemory>(kOutOfMemoryMessage, ORVALEN_CALLER);
}

#undef ORVALEN_CALLER

}  // namespace orvalen
