// The "%f" texts of awkward doubles, those that glibc's printf gives: ties,
// carries, tiny and huge magnitudes, negative zero. Shared by the unit test
// of the writer and its run on ARM under emulation (tests/arm), so both
// hold the writer to the same texts.
#pragma once

#include <limits>

namespace orvek::testing {

struct FixedCase {
  double value;
  const char* text;  // "%f"
};

constexpr FixedCase kFixedCases[] = {
    {0.0, "0.000000"},
    {-0.0, "-0.000000"},  // negative zero keeps its sign
    {1e-7, "0.000000"},  // below half a unit
    {-1e-7, "-0.000000"},  // rounds to minus zero
    {5e-7, "0.000000"},  // the double lies below the tie
    {1e-6, "0.000001"},  // smallest unit
    {0.0000015, "0.000002"},  // just above the tie
    {0.0000025, "0.000003"},
    {0.0078125, "0.007812"},  // exact tie, ties to even: down
    {0.0234375, "0.023438"},  // exact tie, ties to even: up
    {1024.0078125, "1024.007812"},  // exact tie with an integer part
    {0.1, "0.100000"},
    {1.0000005, "1.000001"},
    {2.0000005, "2.000001"},
    {0.9999995, "1.000000"},  // carry into the integer digit
    {9.9999995, "9.999999"},
    {999999.9999995, "999999.999999"},
    {-999999.9999996, "-1000000.000000"},  // carry adds a digit
    {123456789.1234565, "123456789.123456"},  // below the tie
    {4503599627370495.5, "4503599627370495.500000"},  // 2^52 - 0.5
    {9007199254740993.0, "9007199254740992.000000"},  // 2^53 + 1, not a double
    {1e15, "1000000000000000.000000"},
    {1e16, "10000000000000000.000000"},
    {1e22, "10000000000000000000000.000000"},  // an exact power of ten
    {1e23, "99999999999999991611392.000000"},  // its binary value
    // 49 and 50 characters: the widest "%f" a position sentence takes, and
    // one more.
    {1e41, "100000000000000000620008645040778319495168.000000"},
    {-1e41, "-100000000000000000620008645040778319495168.000000"},
    {2147483647.9999999, "2147483648.000000"},  // rounds up to 2^31
    {-2147483648.5, "-2147483648.500000"},
    {1.7976931348623157e308,
       "179769313486231570814527423731704356798070567525844996598917"
       "476803157260780028538760589558632766878171540458953514382464"
       "234321326889464182768467546703537516986049910576551282076245"
       "490090389328944075868508455133942304583236903222948165808559"
       "332123348274797826204144723168738177180919299881250404026184"
       "124858368.000000"},  // DBL_MAX, 309 integer digits
    {2.2250738585072014e-308, "0.000000"},  // DBL_MIN
    {4.9406564584124654e-324, "0.000000"},  // smallest subnormal
    {179.999999, "179.999999"},
    // Non-finite: the library's own spelling, a NaN's sign dropped.
    {std::numeric_limits<double>::infinity(), "inf"},
    {-std::numeric_limits<double>::infinity(), "-inf"},
    {std::numeric_limits<double>::quiet_NaN(), "nan"},
    {-std::numeric_limits<double>::quiet_NaN(), "nan"},
};

}  // namespace orvek::testing
