#include "frames/cfp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "model/failure.h"

namespace mervane {
namespace {

constexpr unsigned char kFull = 0xFF, kRepeat = 0xFE;
constexpr unsigned kStepCount = 254;  // bytes 0 to 253 are steps
constexpr std::uint64_t kMostRepeated = 65536;

// The step each byte below 0xFE adds; rising with the byte.
const std::array<float, kStepCount>& Steps() {
  static const std::array<float, kStepCount> steps = [] {
    std::array<float, kStepCount> table{};
    for (unsigned c = 0; c < kStepCount; ++c) {
      const double d = static_cast<double>(c) - 126.0;
      table[c] = static_cast<float>(3.9676e-10 * d * d * d * std::abs(d));
    }
    return table;
  }();
  return steps;
}

Failure FailAt(std::size_t at, int number, std::string what) {
  Failure failure = Failure::Error(number, std::move(what));
  failure.AtOffset(at);
  return failure;
}

}  // namespace

Frames ParseCfp(std::string_view bytes, std::uint32_t position_count, std::uint32_t rotation_count,
                std::string_view name) {
  return NamingFile(name, [&] {
    const std::uint64_t count = 3 * std::uint64_t{position_count} + 4 * std::uint64_t{rotation_count};
    // A repeat, three bytes, gives at most 65,536 values; any other value takes a byte.
    const std::uint64_t most = bytes.size() / 3 * kMostRepeated + bytes.size() % 3;
    if (count > most)
      throw FailAt(0, err::kPastEndOfFile, std::to_string(count) + " values are more than " +
                                               std::to_string(bytes.size()) + " bytes can hold");
    const auto& steps = Steps();
    std::vector<float> values;
    // Real frames take about half a byte a value; growth covers the rest.
    values.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, 4 * std::uint64_t{bytes.size()})));
    const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t at = 0;
    float value = 0;
    auto reached = [&] { return " (value " + std::to_string(values.size()) + " of " + std::to_string(count) + ")"; };
    while (values.size() < count) {
      if (at >= size) throw FailAt(at, err::kPastEndOfFile, "the file ends before its last value" + reached());
      const std::size_t start = at;
      const unsigned char c = data[at];
      if (c < kRepeat) {
        value += steps[c];
        ++at;
      } else if (c == kFull) {
        if (size - at < 5) throw FailAt(at, err::kPastEndOfFile, "the file ends inside a full value" + reached());
        const std::uint32_t word = std::uint32_t{data[at + 1]} | std::uint32_t{data[at + 2]} << 8 |
                                   std::uint32_t{data[at + 3]} << 16 | std::uint32_t{data[at + 4]} << 24;
        value = std::bit_cast<float>(word);
        if (!std::isfinite(value)) throw FailAt(at, err::kOverflow, "a full value is not a finite float32" + reached());
        at += 5;
      } else {
        if (size - at < 3) throw FailAt(at, err::kPastEndOfFile, "the file ends inside a repeat" + reached());
        const std::uint64_t n = std::uint64_t{data[at + 1]} | std::uint64_t{data[at + 2]} << 8;
        if (values.size() + n + 1 > count)
          throw FailAt(at, err::kInvalidArgument,
                       "a repeat of " + std::to_string(n + 1) + " runs past the last value" + reached());
        values.insert(values.end(), static_cast<std::size_t>(n + 1), value);
        at += 3;
        continue;
      }
      if (!std::isfinite(value)) throw FailAt(start, err::kOverflow, "a step leaves the float32 range" + reached());
      values.push_back(value);
    }
    if (at != size)
      throw FailAt(at, err::kInvalidArgument, std::to_string(size - at) + " bytes follow the last value");
    Frames frames;
    const std::size_t p = position_count, r = rotation_count;
    frames.positions.resize(p);
    for (std::size_t i = 0; i < p; ++i) frames.positions[i] = {values[i], values[p + i], values[2 * p + i]};
    const float* rot = values.data() + 3 * p;
    frames.rotations.resize(r);
    for (std::size_t i = 0; i < r; ++i)
      frames.rotations[i] = {rot[i], rot[r + i], rot[2 * r + i], rot[3 * r + i]};
    return frames;
  });
}

std::string CfpBytes(const Frames& frames, double tolerance) {
  // Lossless: the reader's float32 sum must land on the value bit for bit.
  auto close = [tolerance](float got, float want) {
    return tolerance > 0 ? std::abs(static_cast<double>(got) - want) <= tolerance
                         : std::bit_cast<std::uint32_t>(got) == std::bit_cast<std::uint32_t>(want);
  };
  std::vector<float> values;
  const std::size_t p = frames.positions.size(), r = frames.rotations.size();
  values.reserve(3 * p + 4 * r);
  for (int k = 0; k < 3; ++k)
    for (const auto& v : frames.positions) values.push_back(v[static_cast<std::size_t>(k)]);
  for (int k = 0; k < 4; ++k)
    for (const auto& v : frames.rotations) values.push_back(v[static_cast<std::size_t>(k)]);

  const auto& steps = Steps();
  std::string out;
  out.reserve(values.size() + 16);
  float running = 0;
  std::uint64_t pending = 0;  // values repeating the running one, not yet written
  auto flush = [&] {
    // Up to three single steps of 0 cost no more than a repeat's three bytes.
    while (pending > 3) {
      const std::uint64_t n = std::min(pending, kMostRepeated);
      out.push_back(static_cast<char>(kRepeat));
      out.push_back(static_cast<char>((n - 1) & 0xFF));
      out.push_back(static_cast<char>((n - 1) >> 8));
      pending -= n;
    }
    for (; pending > 0; --pending) out.push_back(static_cast<char>(126));
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    const float v = values[i];
    if (!std::isfinite(v)) throw Failure::Error(err::kOverflow, "frame value " + std::to_string(i) + " is not a finite number");
    if (i > 0 && close(running, v)) {
      ++pending;
      continue;
    }
    flush();
    // The nearest step, by the sum the reader will compute.
    const float want = v - running;
    const auto above = std::lower_bound(steps.begin(), steps.end(), want);
    int best = -1;
    double best_error = tolerance;
    for (auto it : {above - 1, above}) {
      if (it < steps.begin() || it >= steps.end() || i == 0) continue;
      const float sum = running + *it;
      const double error = std::abs(static_cast<double>(sum) - v);
      if (close(sum, v) && error <= best_error) {
        best_error = error;
        best = static_cast<int>(it - steps.begin());
      }
    }
    if (best >= 0) {
      out.push_back(static_cast<char>(best));
      running += steps[static_cast<std::size_t>(best)];
    } else {
      out.push_back(static_cast<char>(kFull));
      const std::uint32_t word = std::bit_cast<std::uint32_t>(v);
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(word >> (8 * k)));
      running = v;
    }
  }
  flush();
  return out;
}

}  // namespace mervane
