#include "tools/whole_number.h"

namespace orvalen {

std::int64_t RoundToWholeNumber(long double value) {
  return RoundExtendedToWholeNumber(value);
}

}  // namespace orvalen
