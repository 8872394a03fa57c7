// Our own sine, cosine, arcsine and fused multiply-add: the frames depend on
// their last bits, and every build must get the same ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "geometry/trig.h"

namespace {

struct Random {
    uint64_t state = 88172645463325252ull;
    uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    // Uniform in [lo, hi).
    double Between(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(Next() >> 11) * 0x1p-53; }
};

uint64_t Bits(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

// Distance in units in the last place, for finite values of one sign.
uint64_t UlpsApart(double a, double b) {
    const uint64_t x = Bits(std::fabs(a)), y = Bits(std::fabs(b));
    return x > y ? x - y : y - x;
}

bool ProcessorHasFma() {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

}  // namespace

// The portable emulation is what WebAssembly and Windows run; glibc's fma
// rounds once, exactly as IEEE 754 says.
TEST(Trig, PortableFusedMultiplyAddRoundsOnce) {
    Random random;
    for (int i = 0; i < 1000000; ++i) {
        const double a = random.Between(-4, 4) * std::ldexp(1.0, static_cast<int>(random.Next() % 80) - 40);
        const double b = random.Between(-4, 4) * std::ldexp(1.0, static_cast<int>(random.Next() % 80) - 40);
        double c;
        switch (i % 4) {
            case 0:  // near cancellation: the product's low bits decide
                c = -(a * b) * (1 + random.Between(-1e-12, 1e-12));
                break;
            case 1:  // c exactly minus the rounded product: the result is the product's error
                c = -(a * b);
                break;
            case 2:  // a sum that lands half an ulp from a double, before the product's tail
                c = std::ldexp(1.0, std::ilogb(a * b) - 53) - a * b;
                break;
            default:
                c = random.Between(-4, 4) * std::ldexp(1.0, static_cast<int>(random.Next() % 160) - 80);
        }
        const double expected = std::fma(a, b, c);
        const double got = FusedMultiplyAddPortable(a, b, c);
        ASSERT_EQ(Bits(got), Bits(expected)) << std::hexfloat << a << " * " << b << " + " << c;
    }
    // Double rounding traps: a * b has 2^-45 - 2^-103 below 2^-44, and c is
    // a multiple of 2^-44 that puts c + RN(a * b) on a midpoint rounding up,
    // so a sum of the small parts rounded to nearest lands on a second
    // midpoint and rounds the wrong way. At several scales and signs.
    int traps = 0;
    for (int tries = 0; traps < 400 && tries < 1000000; ++tries) {
        const uint64_t bigA = (1ull << 52) | (random.Next() & ((1ull << 52) - 1)) | 1;
        uint64_t inverse = bigA;  // of an odd number, modulo 2^64 (Newton)
        for (int k = 0; k < 6; ++k) inverse *= 2 - bigA * inverse;
        const uint64_t bigB = ((((1ull << 58) - 1) * inverse) & ((1ull << 52) - 1)) | (1ull << 52);
        const unsigned __int128 product = static_cast<unsigned __int128>(bigA) * bigB;
        if ((static_cast<uint64_t>(product) & ((1ull << 59) - 1)) != (1ull << 58) - 1) continue;
        const double a = std::ldexp(static_cast<double>(bigA), -52), b = std::ldexp(static_cast<double>(bigB), -51);
        if (a * b >= 4) continue;
        double c = 256;
        if (std::fmod((256 + (a * b - 0x1p-45)) / 0x1p-44, 2) == 0) c += 0x1p-44;
        const int scale = traps % 40 - 20;
        const double sign = traps % 3 == 0 ? -1 : 1;
        const double sa = std::ldexp(a, scale) * sign, sb = std::ldexp(b, -scale), sc = c * sign;
        ASSERT_EQ(Bits(FusedMultiplyAddPortable(sa, sb, sc)), Bits(std::fma(sa, sb, sc)))
            << std::hexfloat << sa << " * " << sb << " + " << sc;
        ++traps;
    }
    EXPECT_EQ(traps, 400);
    // Outside the emulation's range it defers to the library; signs of zero
    // and specials come out as fma gives them.
    const double specials[] = {0.0, -0.0, 1.0, -3.5, 0x1p-1070, 0x1p1000, INFINITY, -INFINITY, NAN};
    for (double a : specials) {
        for (double b : specials) {
            for (double c : specials) {
                const double expected = std::fma(a, b, c), got = FusedMultiplyAddPortable(a, b, c);
                if (std::isnan(expected)) {
                    EXPECT_TRUE(std::isnan(got));
                } else {
                    EXPECT_EQ(Bits(got), Bits(expected)) << std::hexfloat << a << " * " << b << " + " << c;
                }
            }
        }
    }
}

// The reference frames were drawn with glibc's sin and cos on a processor
// with FMA; Sine and Cosine must give those bits for every argument (on one
// without FMA glibc itself differs, by less than an ulp).
TEST(Trig, SineAndCosineGiveGlibcFmaBits) {
    const bool exact = ProcessorHasFma();
    double (*volatile librarySin)(double) = std::sin;
    double (*volatile libraryCos)(double) = std::cos;
    Random random;
    const double limits[] = {1e-7, 0.126, 0.9, 2.5, 100, 1e5, 1e8, 1e15, 1e300};
    for (double limit : limits) {
        for (int i = 0; i < 200000; ++i) {
            const double x = random.Between(-limit, limit);
            double s, c;
            SineCosine(x, s, c);
            ASSERT_EQ(Bits(s), Bits(Sine(x)));
            ASSERT_EQ(Bits(c), Bits(Cosine(x)));
            if (exact) {
                ASSERT_EQ(Bits(s), Bits(librarySin(x))) << std::hexfloat << "sin " << x;
                ASSERT_EQ(Bits(c), Bits(libraryCos(x))) << std::hexfloat << "cos " << x;
            } else {
                ASSERT_LE(UlpsApart(s, librarySin(x)), 1u) << std::hexfloat << "sin " << x;
                ASSERT_LE(UlpsApart(c, libraryCos(x)), 1u) << std::hexfloat << "cos " << x;
            }
        }
    }
    EXPECT_TRUE(std::isnan(Sine(INFINITY)));
    EXPECT_TRUE(std::isnan(Cosine(-INFINITY)));
    EXPECT_TRUE(std::isnan(Sine(NAN)));
    EXPECT_EQ(Bits(Sine(-0.0)), Bits(-0.0));
    EXPECT_EQ(Cosine(0.0), 1.0);
}

// ArcSine is correctly rounded: checked against the long double arcsine
// wherever that is far enough from a rounding boundary to decide.
TEST(Trig, ArcSineIsCorrectlyRounded) {
    static_assert(sizeof(long double) > sizeof(double), "needs a wider long double");
    Random random;
    int decided = 0;
    for (int i = 0; i < 400000; ++i) {
        const double x = random.Between(-1, 1) * std::ldexp(1.0, -static_cast<int>(random.Next() % 28));
        const long double wide = std::asin(static_cast<long double>(x));
        const double nearest = static_cast<double>(wide);
        const long double error = wide - static_cast<long double>(nearest);
        const long double halfUlp = std::fabs(static_cast<long double>(std::nextafter(nearest, 2.0 * nearest)) -
                                              static_cast<long double>(nearest)) / 2;
        if (std::fabs(std::fabs(error) - halfUlp) < halfUlp * 0x1p-8L) continue;  // too close to call
        ++decided;
        ASSERT_EQ(Bits(ArcSine(x)), Bits(nearest)) << std::hexfloat << "asin " << x;
    }
    EXPECT_GT(decided, 390000);
    EXPECT_EQ(Bits(ArcSine(1.0)), Bits(0x1.921fb54442d18p0));
    EXPECT_EQ(Bits(ArcSine(-1.0)), Bits(-0x1.921fb54442d18p0));
    EXPECT_EQ(Bits(ArcSine(-0.0)), Bits(-0.0));
    EXPECT_TRUE(std::isnan(ArcSine(1.0000000000000002)));
    EXPECT_TRUE(std::isnan(ArcSine(NAN)));
}
