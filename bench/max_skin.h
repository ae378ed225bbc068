#pragma once

// A skin of the largest size the tables take: 31,999 vertices (99 of them
// blended), 32,001 faces, the 22 skeleton bones. Deterministic.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "model/skeleton.h"

namespace mervane {

inline constexpr int kVertices = 31999, kBlended = 99, kFaces = 32001;

// Each bone's vertices are rings of a tube along the bone, and each face
// joins neighbours on the tube, as in a real skin (no screen-filling
// triangles that would make drawing it meaningless to measure).
inline std::string TubeSkn(int vertices, int blended, int faces, unsigned seed) {
  constexpr double kPi = 3.14159265358979323846;
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int kVertices = vertices, kBlended = blended, kFaces = faces;
  const int real = kVertices - kBlended;
  const int per_bone = real / 22;
  // Rings of 50, or fewer on a small skin, so that each bone has several.
  const int kAround = std::max(3, std::min(50, per_bone / 4));
  std::string s = "maxmesh\r\nmaxskin\r\n22\r\n";
  for (const auto& bone : SkeletonTable()) s += std::string(bone.name) + "\r\n";
  s += std::to_string(kFaces) + "\r\n";
  for (int f = 0; f < kFaces; ++f) {
    const int a = f % (real - kAround);  // every vertex is in some face
    s += std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + kAround) + "\r\n";
  }
  s += "22\r\n";
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
    const int local = i % per_bone;
    const double angle = 2 * kPi * (local % kAround) / kAround;
    const double along = 0.4 * (local / kAround) / (per_bone / kAround);
    std::snprintf(buf, sizeof buf, "%.6f %.6f %.6f %.6f %.6f %.6f\r\n", along, 0.08 * std::cos(angle),
                  0.08 * std::sin(angle), 0.0, std::cos(angle), std::sin(angle));
    s += buf;
  }
  return s;
}

inline std::string MaxSkn() { return TubeSkn(kVertices, kBlended, kFaces, 42); }

// A skin of a typical game size: 600 vertices, about 55 kB.
inline std::string TypicalSkn(unsigned seed) { return TubeSkn(600, 6, 1100, seed); }

}  // namespace mervane
