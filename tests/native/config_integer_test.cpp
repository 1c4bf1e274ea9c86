#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "config/IniInteger.h"

namespace velmora {
namespace {

constexpr std::int32_t kDefault = 77;

struct IntegerCase {
  const char* value;
  std::int32_t expected;
};

// Readable, stable test names: the value as written and what it reads as.
void PrintTo(const IntegerCase& c, std::ostream* os) {
  *os << '"';
  for (const char* p = c.value; *p != '\0'; ++p) {
    if (*p == '\t') {
      *os << "\\t";
    } else {
      *os << *p;
    }
  }
  *os << "\" -> " << c.expected;
}

class IniValueToIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniValueToIntegerTest, ReadsValue) {
  const IntegerCase& c = GetParam();
  EXPECT_EQ(IniValueToInteger(c.value, kDefault), c.expected) << "value \"" << c.value << "\"";
}

INSTANTIATE_TEST_SUITE_P(Decimal, IniValueToIntegerTest,
                         ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"123", 123},
                                           IntegerCase{"00012", 12}, IntegerCase{"+5", 5},
                                           IntegerCase{"-5", -5},
                                           IntegerCase{"2147483647", 2147483647},
                                           IntegerCase{"-2147483648", -2147483647 - 1},
                                           IntegerCase{"2147483648", kDefault},
                                           IntegerCase{"-2147483649", kDefault},
                                           IntegerCase{"4273995776", kDefault},
                                           IntegerCase{"99999999999999999999", kDefault}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IniValueToIntegerTest,
    ::testing::Values(IntegerCase{"0x62", 0x62}, IntegerCase{"0X62", 0x62},
                      IntegerCase{"$62", 0x62}, IntegerCase{"x62", 0x62}, IntegerCase{"X62", 0x62},
                      IntegerCase{"0xfF", 0xFF}, IntegerCase{"0x0", 0},
                      IntegerCase{"0xFEC00000", static_cast<std::int32_t>(0xFEC00000)},
                      IntegerCase{"$FEC00000", static_cast<std::int32_t>(0xFEC00000)},
                      IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"$7FFFFFFF", 0x7FFFFFFF},
                      IntegerCase{"$00000001", 1}, IntegerCase{"-0x10", -16},
                      IntegerCase{"-$FFFFFFFF", 1}, IntegerCase{"+$10", 16},
                      IntegerCase{"-x80000000", -2147483647 - 1}));

INSTANTIATE_TEST_SUITE_P(
    Unparsable, IniValueToIntegerTest,
    ::testing::Values(
        IntegerCase{"", kDefault}, IntegerCase{"0x", kDefault}, IntegerCase{"0X", kDefault},
        IntegerCase{"$", kDefault}, IntegerCase{"x", kDefault}, IntegerCase{"-", kDefault},
        IntegerCase{"+", kDefault}, IntegerCase{"true", kDefault}, IntegerCase{"yes", kDefault},
        IntegerCase{"12a", kDefault}, IntegerCase{"5 ", kDefault}, IntegerCase{"- 5", kDefault},
        IntegerCase{"\t5", kDefault}, IntegerCase{"1e3", kDefault}, IntegerCase{"1.0", kDefault},
        IntegerCase{"0x1G", kDefault}, IntegerCase{"0x-1", kDefault}, IntegerCase{"$-1", kDefault},
        IntegerCase{"--1", kDefault}, IntegerCase{"0x100000000", kDefault},
        IntegerCase{"$000000001", kDefault}, IntegerCase{"0x000000001", kDefault},
        IntegerCase{"0x$10", kDefault}, IntegerCase{"00x10", kDefault},
        IntegerCase{"1 2", kDefault}));

TEST(ParseIniNumberTest, SkipsLeadingBlanksOnly) {
  EXPECT_EQ(ParseIniNumber("   42"), 42);
  EXPECT_EQ(ParseIniNumber("  -0x10"), -16);
  EXPECT_EQ(ParseIniNumber("42  "), std::nullopt);
  EXPECT_EQ(ParseIniNumber(" "), std::nullopt);
}

TEST(ParseIniNumberTest, LeadingBlanksBeforeZeroXStillRead) {
  // The "0x" to "$" rewrite applies only at the very start, but the parser itself also
  // accepts the "0x" introducer.
  EXPECT_EQ(IniValueToInteger(" 0x10", kDefault), 16);
}

TEST(ParseIniNumberTest, DefaultItselfIsReturnedUnchanged) {
  EXPECT_EQ(IniValueToInteger("junk", -1), -1);
  EXPECT_EQ(IniValueToInteger("junk", static_cast<std::int32_t>(0xFEC00000)),
            static_cast<std::int32_t>(0xFEC00000));
}

}  // namespace
}  // namespace velmora
