// The measures the play benchmarks take alike: a steady-clock span in milliseconds and a median.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace playroute {

inline double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace playroute
