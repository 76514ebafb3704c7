#pragma once
// What the bench tools share: a clock, and their one line of result for scripts/bench.py.
#include <windows.h>

#include <cstdio>

namespace norq::bench {

inline double Seconds() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// {"bytes": N, "seconds": S} into `path`; false when it cannot be written.
inline bool WriteResult(const wchar_t* path, unsigned long long bytes, double seconds) {
  FILE* out = ::_wfopen(path, L"w");
  if (!out) return false;
  std::fprintf(out, "{\"bytes\": %llu, \"seconds\": %.4f}\n", bytes, seconds);
  return std::fclose(out) == 0;
}

}  // namespace norq::bench
