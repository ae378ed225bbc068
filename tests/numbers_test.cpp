#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <charconv>
#include <cmath>
#include <random>

#include "model/failure.h"
#include "model/numbers.h"
#include "files/paths.h"

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
      {"&H1F", 31},     {"&hff", 255},      {"&O17", 15},        {"&", 0},
      {"&Z", 0},        {"nan", 0},         {"inf", 0},          {"- 3", -3},
      {"1e-400", 0},    {"0.000001", 1e-6}, {"12.0", 12},        {"3\n4", 34},
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

// The quick reading of lines of whole numbers takes only what ReadNumber
// would read to the same values; anything else is left to the general one.
TEST(ReadPlainWholes, TakesOnlyPlainDigitsOneSpaceApart) {
  const struct {
    const char* text;
    bool plain;
  } cases[] = {{"12 7 3", true},   {"007 0 123456789", true}, {"12  7 3", false}, {"12\t7 3", false},
               {" 12 7 3", false}, {"12 7 3 ", false},        {"12 7", false},    {"12 7 3 4", false},
               {"-1 2 3", false},  {"1.0 2 3", false},        {"1234567890 1 2", false}};
  for (const auto& c : cases) {
    std::array<std::uint32_t, 3> values{};
    ASSERT_EQ(ReadPlainWholes(c.text, values), c.plain) << c.text;
    if (!c.plain) continue;
    std::array<std::string_view, 3> fields;
    SplitFields(c.text, fields);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(values[k], ReadNumber(fields[k])) << c.text;
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

TEST(Messages, KeepTheirExactTexts) {
  EXPECT_EQ(ErrorMessage(62), "Error 62 has occurred.  It is recommended that you exit the application.");
  EXPECT_EQ(LimitMessage(FailureKind::VertexLimit), "Too many vertices!  32000 is the current limit!");
  EXPECT_EQ(LimitMessage(FailureKind::TexVertexLimit),
            "Too many texture vertices!  32000 is the current limit!");
  EXPECT_EQ(LimitMessage(FailureKind::NormalLimit), "Too many normals!  32000 is the current limit!");
}

}  // namespace
}  // namespace mervane
