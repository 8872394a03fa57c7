// Our own sine, cosine, arcsine and fused multiply-add: the frames depend on
// their last bits, and every build must get the same ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef SIXSCENE_HAVE_QUADMATH
#include <quadmath.h>
#endif

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

// Sine and Cosine are correctly rounded: checked against a wider sine and
// cosine wherever that is far enough from a rounding boundary to decide.
// The ranges are the show's (angles from degrees, the surface wave's phase,
// the logo's shades), the whole fast range, arguments next to multiples of
// pi / 2 (where the reduction cancels most), and huge ones.
TEST(Trig, SineAndCosineAreCorrectlyRounded) {
#ifdef SIXSCENE_HAVE_QUADMATH
    using Wide = __float128;
    const auto wideSin = [](double x) { return sinq(static_cast<Wide>(x)); };
    const auto wideCos = [](double x) { return cosq(static_cast<Wide>(x)); };
    const Wide halfPi = acosq(static_cast<Wide>(0));
    const Wide margin = 0x1p-40;  // of half an ulp: far above quadmath's error
#else
    using Wide = long double;
    if (sizeof(Wide) == sizeof(double)) GTEST_SKIP() << "no wider reference";
    const auto wideSin = [](double x) { return std::sin(static_cast<Wide>(x)); };
    const auto wideCos = [](double x) { return std::cos(static_cast<Wide>(x)); };
    const Wide halfPi = std::acos(static_cast<Wide>(0));
    const Wide margin = 0x1p-8;
#endif
    long decided = 0, checked = 0;
    const auto check = [&](double x) {
        for (int cosine = 0; cosine < 2; ++cosine) {
            const Wide wide = cosine ? wideCos(x) : wideSin(x);
            const double nearest = static_cast<double>(wide);
            // Too close to call when the wide value is near either midpoint.
            const Wide up = static_cast<Wide>(std::nextafter(nearest, INFINITY)) - static_cast<Wide>(nearest);
            const Wide down = static_cast<Wide>(nearest) - static_cast<Wide>(std::nextafter(nearest, -INFINITY));
            const Wide aboveMidpoint = wide - (static_cast<Wide>(nearest) + up / 2);
            const Wide belowMidpoint = wide - (static_cast<Wide>(nearest) - down / 2);
            ++checked;
            if ((aboveMidpoint < 0 ? -aboveMidpoint : aboveMidpoint) < up / 2 * margin ||
                (belowMidpoint < 0 ? -belowMidpoint : belowMidpoint) < down / 2 * margin)
                continue;
            ++decided;
            const double got = cosine ? Cosine(x) : Sine(x);
            ASSERT_EQ(Bits(got), Bits(nearest)) << std::hexfloat << (cosine ? "cos " : "sin ") << x;
        }
    };
    Random random;
    // |x| < 0.8 needs no reduction; 50 covers the objects' angles and the
    // logo's shades, 16384 the wave's phase; 2^20 ends the fast stage.
    const double limits[] = {0.8, 50, 16384, 0x1p20};
    for (double limit : limits) {
        for (int i = 0; i < 60000; ++i) check(random.Between(-limit, limit));
    }
    for (int i = 0; i < 60000; ++i) check(random.Between(-3600, 3600) / 180 * 3.141592653589793);
    for (int i = 0; i < 60000; ++i) {  // every scale from 2^-30 to 2^20
        check(std::ldexp(random.Between(-2, 2), static_cast<int>(random.Next() % 51) - 30));
    }
    for (int i = 0; i < 10000; ++i) {  // the exact stage's whole range
        check(std::ldexp(random.Between(-2, 2), static_cast<int>(random.Next() % 1003) + 20));
    }
    // The doubles around k * pi / 2.
    for (int i = 0; i < 3000; ++i) {
        const double k = i < 1000 ? i + 1 : std::floor(std::ldexp(random.Between(1, 2), static_cast<int>(random.Next() % 80)));
        double x = static_cast<double>(static_cast<Wide>(k) * halfPi);
        for (int step = 0; step < 3; ++step) x = std::nextafter(x, 0);
        for (int step = 0; step < 7; ++step, x = std::nextafter(x, INFINITY)) check(x);
    }
    EXPECT_GT(decided, checked * 99 / 100);
    // Arguments whose sine or cosine lies within 2^-23 ulp of a rounding
    // boundary (found by a search): where the fast stage must hand over.
    const double hard[] = {
        0x1.685422a787fa2p-1, -0x1.8ef3773c458e5p-1, -0x1.b4b0486df1354p-2, 0x1.c5c283a92af9p+12,
        -0x1.a037af1434f34p-2, -0x1.635249673443p+2, -0x1.3b2c662d42fe8p+18, 0x1.57caa4fc415a4p+12,
        -0x1.c285d3d5bc7p+8, 0x1.0353b2e59c80dp+4, 0x1.77318de584f26p+19, -0x1.bf72c6464abd4p-2,
        -0x1.bd2c8fb10c959p+4, -0x1.82dea25264027p-3, -0x1.b0997000c0a7ap+3, 0x1.faabebd1e47a2p+2,
        0x1.33e583a3af16ep+13, -0x1.52ff52d110c9ap+19, -0x1.213da4d248d8cp+13, 0x1.a81da515dd87ap+2,
        0x1.1f707d130bff5p-1, -0x1.da0496e24bb4p+12, -0x1.a52bdcf8e6e34p-4, 0x1.c7f7273c2cd94p+4,
        -0x1.9db3de3f5e7bap-2, -0x1.0e543c8e9d944p+19, 0x1.688f2b097c37fp-1, -0x1.12ca035ce0374p+12,
        0x1.17e331f263d8p-3, -0x1.f19bed24caaffp+4, -0x1.245595b3d18f2p+5, -0x1.192a8149f02cep+13,
        -0x1.35858ce20d4a8p+13, -0x1.e03280ae00dc5p+4, -0x1.53568a5da14e6p+19, -0x1.457a5805c5802p+4,
        -0x1.73d605617c067p-4, 0x1.35763f877c88cp+19, 0x1.a8bbde20b955p+11, 0x1.1ee2c9aa4d43ep+5};
    const long decidedBefore = decided;
    for (double x : hard) check(x);
    EXPECT_GE(decided - decidedBefore, 40);

    const double specials[] = {0.0, -0.0, 0x1p-1074, -0x1p-1022, 0x1p-27, 0x1p-26, 0x1.fffffffffffffp1023,
                               -0x1.fffffffffffffp1023, 0x1.8p52, 6381956970095103.0 * 0x1p797};
    for (double x : specials) check(x);
    EXPECT_EQ(Bits(Sine(-0.0)), Bits(-0.0));
    EXPECT_EQ(Bits(Sine(0x1p-1074)), Bits(0x1p-1074));
    EXPECT_EQ(Cosine(-0.0), 1.0);
    EXPECT_TRUE(std::isnan(Sine(INFINITY)));
    EXPECT_TRUE(std::isnan(Cosine(-INFINITY)));
    EXPECT_TRUE(std::isnan(Sine(NAN)));
    EXPECT_TRUE(std::isnan(Cosine(NAN)));
    double s, c;
    SineCosine(2.5, s, c);
    EXPECT_EQ(Bits(s), Bits(Sine(2.5)));
    EXPECT_EQ(Bits(c), Bits(Cosine(2.5)));
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
