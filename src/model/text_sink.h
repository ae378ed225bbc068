#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "model/numbers.h"

namespace mervane {

// Builds a text out of many short pieces. The pieces are written into a
// buffer of the sink's own, which joins the text a block at a time: one
// append per piece would cost more than the piece.
class TextSink {
 public:
  // Reserves room for the text's likely size; room never written costs
  // nothing, and a text that regrows copies itself.
  explicit TextSink(std::size_t likely_size) { text_.reserve(likely_size); }
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  void Append(std::string_view piece) {
    if (piece.empty()) return;  // an empty view may have no address to copy from
    if (piece.size() > Left()) {
      Flush();
      if (piece.size() > kSize) {
        text_.append(piece);
        return;
      }
    }
    std::memcpy(at_, piece.data(), piece.size());
    at_ += piece.size();
  }
  void Append(char c) {
    if (Left() == 0) Flush();
    *at_++ = c;
  }
  // The piece and a CR LF line end, as every file is written.
  void Line(std::string_view piece) {
    if (piece.size() + 2 > Left()) {
      Append(piece);
      Append("\r\n");
      return;
    }
    if (!piece.empty()) std::memcpy(at_, piece.data(), piece.size());
    at_ += piece.size();
    *at_++ = '\r';
    *at_++ = '\n';
  }
  // A line of a short keyword and coordinates in six-decimal form, one space apart.
  void CoordLine(std::string_view keyword, std::initializer_list<double> values) {
    if (keyword.size() + values.size() * (kCoordMax + 1) + 2 > Left()) Flush();
    std::memcpy(at_, keyword.data(), keyword.size());
    at_ += keyword.size();
    for (const double value : values) {
      *at_++ = ' ';
      at_ = WriteCoord(at_, value);
    }
    *at_++ = '\r';
    *at_++ = '\n';
  }
  // The text so far; the sink is left empty.
  std::string Take() {
    Flush();
    return std::move(text_);
  }

 private:
  static constexpr std::size_t kSize = std::size_t{1} << 15;
  std::size_t Left() const { return static_cast<std::size_t>(buf_ + kSize - at_); }
  void Flush() {
    text_.append(buf_, at_);
    at_ = buf_;
  }

  std::string text_;
  char buf_[kSize];
  char* at_ = buf_;
};

}  // namespace mervane
