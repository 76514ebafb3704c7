#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/RuntimeError.h"

namespace norq {

// An element of a manifest array, with the bounds check that ends the event
// with "subscript out of range" instead of reading past the array.
inline const std::wstring& ElementAt(const std::vector<std::wstring>& array, std::int16_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= array.size()) {
    throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
  }
  return array[static_cast<std::size_t>(index)];
}

}  // namespace norq
