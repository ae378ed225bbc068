#pragma once

// A skin of the largest size the tables take: 31,999 vertices (99 of them
// blended), 32,001 faces, the 22 skeleton bones. Deterministic.
#include <cstdio>
#include <random>
#include <string>

#include "model/skeleton.h"

namespace mervane {

inline constexpr int kVertices = 31999, kBlended = 99, kFaces = 32001;

inline std::string MaxSkn() {
  std::mt19937 random(42);
  std::uniform_real_distribution<double> coord(-2.0, 2.0), unit(0.0, 1.0);
  const int real = kVertices - kBlended;
  std::string s = "maxmesh\r\nmaxskin\r\n22\r\n";
  for (const auto& bone : SkeletonTable()) s += std::string(bone.name) + "\r\n";
  s += std::to_string(kFaces) + "\r\n";
  for (int f = 0; f < kFaces; ++f)
    s += std::to_string(f % real) + " " + std::to_string((f + 1) % real) + " " + std::to_string((f + 2) % real) + "\r\n";
  s += "22\r\n";
  const int per_bone = real / 22;
  for (int b = 0; b < 22; ++b) {
    const int first = b * per_bone, count = b == 21 ? real - first : per_bone;
    s += std::to_string(b) + " " + std::to_string(first) + " " + std::to_string(count) + " " +
         (b == 21 ? "0 99" : "0 0") + "\r\n";
  }
  char buf[128];
  s += std::to_string(real) + "\r\n";
  for (int i = 0; i < real; ++i) {
    std::snprintf(buf, sizeof buf, "%.6f %.6f\r\n", unit(random), unit(random));
    s += buf;
  }
  s += std::to_string(kBlended) + "\r\n";
  for (int i = 0; i < kBlended; ++i) s += std::to_string(i) + " 16384\r\n";
  s += std::to_string(kVertices) + "\r\n";
  for (int i = 0; i < kVertices; ++i) {
    std::snprintf(buf, sizeof buf, "%.6f %.6f %.6f %.6f %.6f %.6f\r\n", coord(random), coord(random),
                  coord(random), unit(random), unit(random), unit(random));
    s += buf;
  }
  return s;
}

}  // namespace mervane
