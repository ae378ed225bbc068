#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <charconv>
#include <cmath>
#include <random>

#include "files/line_reader.h"
#include "model/failure.h"
#include "model/numbers.h"
#include "model/paths.h"

namespace mervane {
namespace {

int FailureNumber(auto&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(ReadNumber, FollowsTheSharedRule) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"1.5abc", 1.5},  {"abc", 0},         {" 2", 2},           {"1,5", 1},
      {"+3", 3},        {".5", 0.5},        {"-.25", -0.25},     {"1 2 3", 123},
      {"\t-4\t", -4},   {"1.5e-005", 1.5e-5}, {"2E3", 2000},     {"7e", 7},
      {"7e+", 7},       {"1.2.3", 1.2},     {"", 0},             {"-", 0},
      {"&H1F", 31},     {"&hff", 255},      {"&O17", 15},        {"&o17", 15},       {"&O18", 1},        {"&", 0},
      {"&Z", 0},        {"nan", 0},         {"inf", 0},          {"- 3", -3},
      {"1e-400", 0},    {"0.000001", 1e-6}, {"12.0", 12},        {"3\n4", 34},
      {"&H1.5", 1},     {"&O7:", 7},        {"1e-18446744073709551617", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

// Six places after the point that are not all digits end the number there.
TEST(ReadNumber, SixPlacesThatAreNotAllDigitsEndTheNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"1.12:456", 1.12}, {"1.1234/6", 1.1234}, {"-0.12345\xb9", -0.12345}, {"2.000000x", 2}};
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

// The quick reading of lines of whole numbers takes only what the general
// rule reads to the same values; anything else is left to the general one.
TEST(ReadPlainWholes, TakesOnlyPlainDigitsOneSpaceApart) {
  const struct {
    const char* text;
    bool plain;
  } cases[] = {{"12 7 3", true},   {"007 0 123456789", true}, {"12  7 3", false}, {"12\t7 3", false},
               {" 12 7 3", false}, {"12 7 3 ", false},        {"12 7", false},    {"12 7 3 4", false},
               {"-1 2 3", false},  {"1.0 2 3", false},        {"1234567890 1 2", false},
               {"999999999 0 0", true}, {"+1 2 3", false},     {"1e2 2 3", false}, {"1 2 3\n", false},
               {"", false}};
  for (const auto& c : cases) {
    std::array<std::uint32_t, 3> values{};
    ASSERT_EQ(ReadPlainWholes(c.text, values), c.plain) << c.text;
    if (!c.plain) continue;
    std::array<std::string_view, 3> fields;
    SplitFields(c.text, fields);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(values[k], detail::ReadNumberGenerally(fields[k])) << c.text;
  }
}

// ReadNumber's quick paths against the general rule they short-cut: the
// same double, sign of zero included, for whatever either path is given.
// A six-decimal number the readers may keep as written must also be
// exactly what FormatCoord writes for its value.
TEST(ReadNumber, QuickPathsAgreeWithTheGeneralRule) {
  const char* texts[] = {
      // Six decimals: signs, zeros, nine integer digits and ten, leading zeros.
      "0.000000", "-0.000000", "+0.000000", "1.500000", "-1.500000", "0.000001", "-0.000001",
      "999999999.999999", "-999999999.999999", "1000000000.000000", "00.000000", "01.000000", "-01.000000",
      // Five decimals and seven, cut short, and followed by blanks, text or an exponent, with
      // and without the two bytes after them that let the decimals be read as one word.
      "1.00000", "1.0000000", "1.123456789", "1.", ".500000", "-.500000", "1.000000 ", " 1.000000",
      "1.000000\t", "1.000000x", "1.000000  ", "-0.000000 0", "1.000000e2", "1.000000E-2", "1.000000.5",
      "1.000000-", "1.12345: 7", "1.1234/ 78", "1.12345\xb9", "9.99999\xb0 1", "1.000 000", "-", "",
      // Whole numbers: signs, zeros, fifteen digits and sixteen, fractions, exponents, blanks.
      "0", "-0", "7", "-7", "007", "123456789012345", "-123456789012345", "1234567890123456", "2.5", "1e3",
      "12 3", "--1", "3-", "&H10", "9 ",
  };
  for (const char* text : texts) {
    SCOPED_TRACE('"' + std::string(text) + '"');
    const double quick = ReadNumber(text), general = detail::ReadNumberGenerally(text);
    EXPECT_EQ(quick, general);
    EXPECT_EQ(std::signbit(quick), std::signbit(general));
    double value = 0;
    const std::size_t length = ReadCanonicalCoord(text, value);
    EXPECT_EQ(CanonicalCoordLength(text), length);
    if (length == 0) continue;
    const std::string kept(text, length);
    std::string written;
    AppendCoord(written, value);
    EXPECT_EQ(written, kept);
    EXPECT_EQ(value, detail::ReadNumberGenerally(kept));
  }
}

// The quick path for short decimals must give the same double as the
// library's correctly rounded conversion.
TEST(ReadNumber, ShortDecimalsReadExactlyLikeTheLibrary) {
  std::mt19937_64 random(9);
  for (int i = 0; i < 200000; ++i) {
    std::string text = random() % 2 ? "-" : "";
    const int int_digits = static_cast<int>(random() % 8), frac_digits = static_cast<int>(random() % 12);
    for (int k = 0; k < int_digits; ++k) text += static_cast<char>('0' + random() % 10);
    text += '.';
    for (int k = 0; k < frac_digits; ++k) text += static_cast<char>('0' + random() % 10);
    if (random() % 4 == 0) text += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
    if (int_digits + frac_digits == 0) continue;
    const char* begin = text.data() + (text[0] == '-');
    double expected = 0;
    std::from_chars(begin, text.data() + text.size(), expected);
    if (text[0] == '-') expected = -expected;
    ASSERT_EQ(ReadNumber(text), expected) << text;
  }
}

TEST(ReadNumber, TooLargeIsOverflow) {
  EXPECT_EQ(FailureNumber([] { ReadNumber("1e400"); }), err::kOverflow);
  EXPECT_EQ(FailureNumber([] { ReadNumber(std::string(400, '9')); }), err::kOverflow);
  EXPECT_EQ(FailureNumber([] { ReadNumber("&HFFFFFFFFFFFFFFFFFF"); }), err::kOverflow);
  // An exponent past any 64-bit count (2^64 + 1) stays huge rather than wrapping to 1.
  EXPECT_EQ(FailureNumber([] { ReadNumber("1e18446744073709551617"); }), err::kOverflow);
}

TEST(ReadNumber, IgnoresTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(ReadNumber("1.5"), 1.5);
  EXPECT_EQ(FormatCoord(1.5, -0.25, 0), "1.500000 -0.250000 0.000000");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ReadCount, RoundsHalvesToEvenWithin16Bits) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"0.5", 0},    {"1.5", 2},         {"2.5", 2},   {"-2.5", -2}, {"2.4999", 2},
               {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767}, {"12.0", 12}, {"x", 0}};
  for (const auto& c : cases) EXPECT_EQ(ReadCount(c.text), c.value) << c.text;
  for (const char* text : {"32768", "-32769", "32767.5", "99999999", "1e308", "&HFFFF"})
    EXPECT_EQ(FailureNumber([&] { ReadCount(text); }), err::kOverflow) << text;
}

TEST(FormatCoord, SixDecimalsWithoutNegativeZero) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {2, "2.000000"},          {-0.5, "-0.500000"},     {0.0000004, "0.000000"},
      {-0.0000004, "0.000000"}, {-0.0, "0.000000"},      {1.5, "1.500000"},
      {0.0000005, "0.000000"},  // the double just below the half
      {0.0000015, "0.000002"},  {-1234567.25, "-1234567.250000"},
      {1e15, "1000000000000000.000000"},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendCoord(out, c.value);
    EXPECT_EQ(out, c.text) << c.value;
  }
  EXPECT_EQ(FormatCoord(1.5, -0.25, 0), "1.500000 -0.250000 0.000000");
  EXPECT_EQ(FormatCoord(0.25, 0.75), "0.250000 0.750000");
  std::string huge;
  AppendCoord(huge, 1e308);
  EXPECT_EQ(huge.size(), 309u + 7u);
  EXPECT_EQ(FailureNumber([] { FormatCoord(INFINITY, 0); }), err::kOverflow);
  EXPECT_EQ(FailureNumber([] { FormatCoord(NAN, 0); }), err::kOverflow);
}

// The fast path must round exactly like the library's own fixed formatting,
// exact halves included (0.0078125 is 2^-7: "0.007812").
TEST(FormatCoord, RoundsExactlyLikeTheLibrary) {
  std::mt19937_64 random(3);
  std::vector<double> values{0.0078125, -0.0078125, 0.0234375, 2.5e-7, 5e-7, 1.5e-6, 999999.9999995,
                             1e12 - 1, 1e12, 4.9406564584124654e-324, 123456.0000005};
  for (int i = 0; i < 200000; ++i) {
    const double scale = std::ldexp(1.0, static_cast<int>(random() % 60) - 30);
    values.push_back((static_cast<double>(random() % 2000001) - 1000000.0) / 1000000.0 * scale);
    values.push_back(static_cast<double>(static_cast<std::int64_t>(random() % 2000000001) - 1000000000) / 128.0 / 1e6);
  }
  for (double value : values) {
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    ASSERT_EQ(ec, std::errc());
    std::string expected(buf, end);
    if (expected == "-0.000000") expected = "0.000000";
    std::string actual;
    AppendCoord(actual, value);
    ASSERT_EQ(actual, expected) << std::hexfloat << value;
  }
}

TEST(SplitFields, RunsOfBlanksSeparate) {
  std::array<std::string_view, 3> f;
  EXPECT_EQ(SplitFields("  a \t b  ", f), 2u);
  EXPECT_EQ(f[0], "a");
  EXPECT_EQ(f[1], "b");
  EXPECT_EQ(SplitFields("1 2 3 4 5", f), 3u);
  EXPECT_EQ(f[2], "3");
  EXPECT_EQ(SplitFields(" \t ", f), 0u);
}

TEST(Paths, ExtensionAndBaseFollowTheLastDotOfTheFileName) {
  const struct {
    const char* path;
    const char* extension;
    const char* base;
    const char* name;
    const char* folder;
  } cases[] = {
      {"body.skn", "skn", "body", "body.skn", ""},
      {"./body.spj", "spj", "./body", "body.spj", "./"},
      {"/home/me/v1.2/body.spj", "spj", "/home/me/v1.2/body", "body.spj", "/home/me/v1.2/"},
      {"C:\\My.Skins\\body.SPJ", "spj", "C:\\My.Skins\\body", "body.SPJ", "C:\\My.Skins\\"},
      {"C:\\Sims\\Skins\\body.SPJ", "spj", "C:\\Sims\\Skins\\body", "body.SPJ", "C:\\Sims\\Skins\\"},
      {"a.b.skn", "skn", "a.b", "a.b.skn", ""},
      {"/v1.2/noext", "", "/v1.2/noext", "noext", "/v1.2/"},
      {"dir/.spj", "spj", "dir/", ".spj", "dir/"},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
    EXPECT_EQ(BasePathOf(c.path), c.base) << c.path;
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
  }
  EXPECT_EQ(ToUpperAscii("l_hand\xe9"), "L_HAND\xe9");
}

// Names Windows keeps for devices: a port is one only with a digit 1 to 9.
TEST(Paths, WindowsReservesDeviceNamesWithAnyExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"com1.txt", "Windows reserves the name COM1 for a device"},
      {"LPT9", "Windows reserves the name LPT9 for a device"},
      {"COMA.txt", ""}, {"COM:.txt", ""}, {"COM0", ""}, {".txt", ""}, {" .txt", ""},
      {"NUL  .bmp", "Windows reserves the name NUL for a device"},
  };
  for (const auto& [name, problem] : cases) EXPECT_EQ(WindowsNameProblem(name), problem) << name;
}

TEST(Messages, KeepTheirExactTexts) {
  const std::string x1000(1000, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {ErrorMessage(62), "Error 62 has occurred.  It is recommended that you exit the application."},
      {LimitMessage(FailureKind::VertexLimit), "Too many vertices!  32000 is the current limit!"},
      {LimitMessage(FailureKind::TexVertexLimit), "Too many texture vertices!  32000 is the current limit!"},
      {LimitMessage(FailureKind::NormalLimit), "Too many normals!  32000 is the current limit!"},
      // A detail is kept whole up to 1000 bytes and cut after them.
      {Failure::Error(5, x1000).detail(), x1000},
      {Failure::Error(5, x1000 + "y").detail(), x1000 + "..."},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

// The line reader looks at eight bytes at a time; a line must still end
// where the rule says, at CR LF, CR or LF, wherever that falls in a word.
TEST(LineReader, EndsLinesWhereTheRuleSaysWhereverTheyFall) {
  auto by_rule = [](std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\r' && text[i] != '\n') continue;
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
  };
  std::vector<std::string> texts{"", "a", "a\n", "\nb", "\n\n", "\r\r", "\n\r", "\r\n\n", "\r\n\r\n"};
  // Every kind of line end after a line of every length up to two words,
  // then empty lines, then a last line with and without its end.
  for (const char* end : {"\n", "\r", "\r\n"})
    for (std::size_t length = 0; length <= 17; ++length)
      for (const char* rest : {"", "z", "\n\nzz", "\r\rzz\r\n", "\r\n\r\n0123456789abcdef\n"})
        texts.push_back(std::string(length, 'x') + end + rest);
  // Bytes that are CR or LF but for the high bit, NUL and plain bytes, at random.
  std::mt19937 random(11);
  const char alphabet[] = {'a', '\r', '\n', '\x8d', '\x8a', '\0', 'b'};
  for (int i = 0; i < 3000; ++i) {
    std::string text(random() % 40, ' ');
    for (char& c : text) c = alphabet[random() % sizeof alphabet];
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    LineReader in(text);
    std::vector<std::string_view> lines;
    for (std::string_view line; in.TryNext(line);) lines.push_back(line);
    ASSERT_EQ(lines, by_rule(text)) << ::testing::PrintToString(text);
    EXPECT_EQ(in.line_number(), static_cast<long>(lines.size()));
  }
}

}  // namespace
}  // namespace mervane
