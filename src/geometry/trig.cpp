#include "geometry/trig.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Plain IEEE operations only (+, -, *, / and sqrt round the same way on
// every platform), nothing from the math library but fabs, and no fused
// multiply-add (the build turns contraction off): every build gets the
// same bits.

namespace {

// The IEEE bits of a double and back (std::bit_cast is missing from some
// standard libraries we build with).
uint64_t Bits(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

double FromBits(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// Double-double arithmetic: a value as hi + lo, |lo| at most half an ulp of
// hi; the sums and products below are exact (error-free transformations).

struct Double2 {
    double hi = 0, lo = 0;
};

Double2 TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Double2 FastTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with 26-bit halves (Veltkamp); a far from overflow.
Double2 Split(double a) {
    const double c = 134217729.0 * a;
    const double hi = c - (c - a);
    return {hi, a - hi};
}

Double2 TwoProduct(double a, double b) {
    const double p = a * b;
    const Double2 x = Split(a), y = Split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Double2 Add(Double2 a, Double2 b) {
    const Double2 s = TwoSum(a.hi, b.hi);
    const Double2 t = TwoSum(a.lo, b.lo);
    Double2 r = FastTwoSum(s.hi, s.lo + t.hi);
    return FastTwoSum(r.hi, r.lo + t.lo);
}

Double2 Multiply(Double2 a, Double2 b) {
    const Double2 p = TwoProduct(a.hi, b.hi);
    return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Double2 Divide(Double2 a, double d) {
    const double q1 = a.hi / d;
    const Double2 p = TwoProduct(q1, d);
    const double q2 = (((a.hi - p.hi) - p.lo) + a.lo) / d;
    return FastTwoSum(q1, q2);
}

}  // namespace

// ---- Sine and cosine, correctly rounded.
//
// Both are sin(x + quarter * pi / 2), quarter 0 or 1, made in up to two
// stages. The fast one reduces x by multiples of pi / 512 in double-double
// arithmetic and adds the table's sine and cosine of the multiple to short
// series for the rest; its result hi + lo is within a known bound of the
// true value, and where every number within that bound rounds to the same
// double, that double is the correctly rounded result. Where it does not
// (about one argument in several thousand) and for |x| >= 2^20, the exact
// stage computes in 384-bit fixed point: x * 2 / pi from 1536 bits of
// 2 / pi, then Taylor series, then the nearest double (see ExactSine for
// why that is enough).

namespace {

// sin(j * pi / 512) for j = 0..256 as hi + lo: hi the nearest double, lo
// the nearest to the rest (computed with MPFR). cos(j * pi / 512) is entry
// 256 - j.
constexpr Double2 kSinTable[257] = {
    {0.0, 0.0}, {0x1.921f0fe670071p-8, 0x1.ab967fe6b7a9bp-64},
    {0x1.921d1fcdec784p-7, 0x1.9878ebe836d9dp-61}, {0x1.2d936bbe30efdp-6, 0x1.b5f91ee371d64p-61},
    {0x1.92155f7a3667ep-6, -0x1.b1d63091a013p-64}, {0x1.f693731d1cf01p-6, -0x1.3fe9bc66286c7p-66},
    {0x1.2d865759455cdp-5, 0x1.686f65ba93acp-61}, {0x1.5fc00d290cd43p-5, 0x1.a2669a693a8e1p-59},
    {0x1.91f65f10dd814p-5, -0x1.912bd0d569a9p-61}, {0x1.c428d12c0d7e3p-5, -0x1.89bc74b58c513p-60},
    {0x1.f656e79f820ep-5, -0x1.2e1ebe392bffep-61}, {0x1.1440134d709b3p-4, -0x1.fec446daea6adp-58},
    {0x1.2d52092ce19f6p-4, -0x1.9a088a8bf6b2cp-59}, {0x1.4661179272096p-4, -0x1.4b109f2406c4cp-58},
    {0x1.5f6d00a9aa419p-4, -0x1.f4022d03f6c9ap-59}, {0x1.787586a5d5b21p-4, 0x1.5f7589f083399p-58},
    {0x1.917a6bc29b42cp-4, -0x1.e2718d26ed688p-60}, {0x1.aa7b724495c03p-4, 0x1.e5399ba0967b8p-58},
    {0x1.c3785c79ec2d5p-4, -0x1.4f39df133fb21p-61}, {0x1.dc70ecbae9fc9p-4, 0x1.2fda2d73295eep-60},
    {0x1.f564e56a9730ep-4, 0x1.a2704729ae56dp-59}, {0x1.072a047ba831dp-3, 0x1.19db1f70118cap-58},
    {0x1.139f0cedaf577p-3, -0x1.523434d1b3cfap-57}, {0x1.20116d4ec7bcfp-3, -0x1.242c8e1053452p-57},
    {0x1.2c8106e8e613ap-3, 0x1.13000a89a11ep-58}, {0x1.38edbb0cd8d14p-3, -0x1.198c21fbf7718p-57},
    {0x1.45576b1293e5ap-3, -0x1.285a24119f7b1p-58}, {0x1.51bdf8597c5f2p-3, -0x1.9f9976af04aa5p-61},
    {0x1.5e214448b3fc6p-3, 0x1.531ff779ddac6p-57}, {0x1.6a81304f64ab2p-3, 0x1.f0cd73fb5d8d4p-58},
    {0x1.76dd9de50bf31p-3, 0x1.1d5eeec501b2fp-57}, {0x1.83366e89c64c6p-3, -0x1.192952df10db8p-57},
    {0x1.8f8b83c69a60bp-3, -0x1.26d19b9ff8d82p-57}, {0x1.9bdcbf2dc4366p-3, 0x1.9632d189956fep-57},
    {0x1.a82a025b00451p-3, -0x1.87905ffd084adp-57}, {0x1.b4732ef3d6722p-3, 0x1.bbe5d5d75cbd8p-57},
    {0x1.c0b826a7e4f63p-3, -0x1.af1439e521935p-62}, {0x1.ccf8cb312b286p-3, 0x1.2382b0aecadf8p-58},
    {0x1.d934fe5454311p-3, 0x1.75b92277107adp-57}, {0x1.e56ca1e101a1bp-3, 0x1.46ac3f9fd0227p-57},
    {0x1.f19f97b215f1bp-3, -0x1.42deef11da2c4p-57}, {0x1.fdcdc1adfedf9p-3, -0x1.2dba4580ed7bbp-57},
    {0x1.04fb80e37fdaep-2, -0x1.412cdb72583ccp-63}, {0x1.0b0d9cfdbdb9p-2, 0x1.3b3a7b8d1200dp-58},
    {0x1.111d262b1f677p-2, 0x1.824c20ab7aa9ap-56}, {0x1.172a0d7765177p-2, 0x1.22575f33366bep-57},
    {0x1.1d3443f4cdb3ep-2, -0x1.720d41c13519ep-57}, {0x1.233bbabc3bb71p-2, 0x1.99b04e23259efp-56},
    {0x1.294062ed59f06p-2, -0x1.5d28da2c4612dp-56}, {0x1.2f422daec0387p-2, -0x1.7501ba473da6fp-56},
    {0x1.35410c2e18152p-2, -0x1.3cb002f96e062p-56}, {0x1.3b3cefa0414b7p-2, 0x1.f36dc4a9c2294p-56},
    {0x1.4135c94176601p-2, 0x1.0c97c4afa2518p-56}, {0x1.472b8a5571054p-2, -0x1.01ea0fe4dff23p-56},
    {0x1.4d1e24278e76ap-2, 0x1.2417218792858p-57}, {0x1.530d880af3c24p-2, -0x1.fab8e2103fbd6p-56},
    {0x1.58f9a75ab1fddp-2, -0x1.efdc0d58cf62p-62}, {0x1.5ee27379ea693p-2, 0x1.634ff2fa75245p-56},
    {0x1.64c7ddd3f27c6p-2, 0x1.10d2b4a664121p-58}, {0x1.6aa9d7dc77e17p-2, -0x1.38b470592c7b3p-56},
    {0x1.7088530fa459fp-2, -0x1.44b19e0864c5dp-56}, {0x1.766340f2418f6p-2, 0x1.2b2adc9041b2cp-56},
    {0x1.7c3a9311dcce7p-2, 0x1.9a3f21ef3e8d9p-62}, {0x1.820e3b04eaac4p-2, -0x1.92379eb01c6b6p-59},
    {0x1.87de2a6aea963p-2, -0x1.72cedd3d5a61p-57}, {0x1.8daa52ec8a4bp-2, -0x1.72eb2db8c621ep-57},
    {0x1.9372a63bc93d7p-2, 0x1.684319e5ad5b1p-57}, {0x1.993716141bdffp-2, -0x1.15e8cce261c55p-56},
    {0x1.9ef7943a8ed8ap-2, 0x1.6da81290bdbabp-57}, {0x1.a4b4127dea1e5p-2, -0x1.bec6f01bc22f1p-56},
    {0x1.aa6c82b6d3fcap-2, -0x1.d5f106ee5ccf7p-56}, {0x1.b020d6c7f4009p-2, 0x1.414ae7e555208p-58},
    {0x1.b5d1009e15ccp-2, 0x1.5b362cb974183p-57}, {0x1.bb7cf2304bd01p-2, 0x1.9e1a5bd9269d4p-57},
    {0x1.c1249d8011ee7p-2, -0x1.813aabb515206p-56}, {0x1.c6c7f4997000bp-2, -0x1.bec2669c68e74p-56},
    {0x1.cc66e9931c45ep-2, 0x1.6850e59c37f8fp-58}, {0x1.d2016e8e9db5bp-2, -0x1.c8bce9d93efb8p-57},
    {0x1.d79775b86e389p-2, 0x1.550ec87bc0575p-56}, {0x1.dd28f1481cc58p-2, -0x1.e7576fa6c944ep-59},
    {0x1.e2b5d3806f63bp-2, 0x1.e0d891d3c6841p-58}, {0x1.e83e0eaf85114p-2, -0x1.7bc380ef24ba7p-57},
    {0x1.edc1952ef78d6p-2, -0x1.dd0f7c33edee6p-56}, {0x1.f3405963fd067p-2, 0x1.06846d44a238fp-56},
    {0x1.f8ba4dbf89abap-2, -0x1.2ec1fc1b776b8p-60}, {0x1.fe2f64be7121p-2, -0x1.297ab1ca2d7dbp-56},
    {0x1.01cfc874c3eb7p-1, -0x1.34a35e7c2368cp-56}, {0x1.0485626ae221ap-1, 0x1.b937d9091ff7p-55},
    {0x1.073879922ffeep-1, -0x1.a5a014347406cp-55}, {0x1.09e907417c5e1p-1, -0x1.fe573741a9bd4p-55},
    {0x1.0c9704d5d898fp-1, -0x1.8d3d7de6ee9b2p-55}, {0x1.0f426bb2a8e7ep-1, -0x1.bb58fb774f8eep-55},
    {0x1.11eb3541b4b23p-1, -0x1.ef23b69abe4f1p-55}, {0x1.14915af336cebp-1, 0x1.f3660558a0213p-56},
    {0x1.1734d63dedb49p-1, -0x1.7eef2ccc50575p-55}, {0x1.19d5a09f2b9b8p-1, -0x1.33656c68a1d4ap-57},
    {0x1.1c73b39ae68c8p-1, 0x1.b25dd267f66p-55}, {0x1.1f0f08bbc861bp-1, -0x1.10d9dcafb74cbp-57},
    {0x1.21a799933eb59p-1, -0x1.3a7b177c68fb2p-55}, {0x1.243d5fb98ac1fp-1, 0x1.c533d0a284a8dp-56},
    {0x1.26d054cdd12dfp-1, -0x1.5da743ef3770cp-55}, {0x1.2960727629ca8p-1, 0x1.56d6c7af02d5cp-56},
    {0x1.2bedb25faf3eap-1, -0x1.14981c796ee46p-58}, {0x1.2e780e3e8ea17p-1, -0x1.b19fafe36587ap-55},
    {0x1.30ff7fce17035p-1, -0x1.efcc626f74a6fp-57}, {0x1.338400d0c8e57p-1, -0x1.abf2a5e95e6e5p-55},
    {0x1.36058b10659f3p-1, -0x1.1fcb3a35857e7p-55}, {0x1.3884185dfeb22p-1, -0x1.a038026abe6b2p-56},
    {0x1.3affa292050b9p-1, 0x1.e3e25e3954964p-56}, {0x1.3d78238c58344p-1, -0x1.0219f5f0f79cep-55},
    {0x1.3fed9534556d4p-1, 0x1.36916608c5061p-55}, {0x1.425ff178e6bb1p-1, 0x1.7b38d675140cap-55},
    {0x1.44cf325091dd6p-1, 0x1.8076a2cfdc6b3p-57}, {0x1.473b51b987347p-1, 0x1.ca1953514e41bp-57},
    {0x1.49a449b9b0939p-1, -0x1.27ee16d719b94p-55}, {0x1.4c0a145ec0004p-1, 0x1.2630cfafceaa1p-58},
    {0x1.4e6cabbe3e5e9p-1, 0x1.3c293edceb327p-57}, {0x1.50cc09f59a09bp-1, 0x1.693463a2c2e6fp-56},
    {0x1.5328292a35596p-1, -0x1.a12eb89da0257p-56}, {0x1.5581038975137p-1, 0x1.4570d9efe26dfp-55},
    {0x1.57d69348cecap-1, -0x1.75720992bfbb2p-55}, {0x1.5a28d2a5d725p-1, 0x1.57a25f8b1343p-55},
    {0x1.5c77bbe65018cp-1, 0x1.069ea9c0bc32ap-55}, {0x1.5ec3495837074p-1, 0x1.dea89a9b8f727p-56},
    {0x1.610b7551d2cdfp-1, -0x1.251b352ff2a37p-56}, {0x1.63503a31c1be9p-1, 0x1.1248f09e6587cp-57},
    {0x1.6591925f0783dp-1, 0x1.c3d64fbf5de23p-55}, {0x1.67cf78491af1p-1, 0x1.750ab23477b61p-59},
    {0x1.6a09e667f3bcdp-1, -0x1.bdd3413b26456p-55}, {0x1.6c40d73c18275p-1, 0x1.25d4f802be257p-57},
    {0x1.6e74454eaa8afp-1, -0x1.dbc03c84e226ep-55}, {0x1.70a42b3176d7ap-1, -0x1.d9e3fbe2e15ap-56},
    {0x1.72d0837efff96p-1, 0x1.0d4ef0f1d915cp-55}, {0x1.74f948da8d28dp-1, 0x1.19900a3b9a3a2p-63},
    {0x1.771e75f037261p-1, 0x1.5cfce8d84068fp-56}, {0x1.79400574f55e5p-1, -0x1.0adadbdb4c65ap-55},
    {0x1.7b5df226aafafp-1, -0x1.0f537acdf0ad7p-56}, {0x1.7d7836cc33db2p-1, 0x1.162715ef03f85p-56},
    {0x1.7f8ece3571771p-1, -0x1.9c8d8ce93c917p-55}, {0x1.81a1b33b57accp-1, -0x1.5dea12d66bb66p-55},
    {0x1.83b0e0bff976ep-1, -0x1.6f420f8ea3475p-56}, {0x1.85bc51ae958ccp-1, 0x1.45ba6478086ccp-55},
    {0x1.87c400fba2ebfp-1, -0x1.2dabc0c3f64cdp-55}, {0x1.89c7e9a4dd4aap-1, 0x1.db6ea04a8678fp-55},
    {0x1.8bc806b151741p-1, -0x1.2c5e12ed1336dp-55}, {0x1.8dc45331698ccp-1, 0x1.1d9fcd83634d7p-57},
    {0x1.8fbcca3ef940dp-1, -0x1.6dfa99c86f2f1p-57}, {0x1.91b166fd49da2p-1, -0x1.3be953a7fe996p-57},
    {0x1.93a22499263fbp-1, 0x1.3d419a920df0bp-55}, {0x1.958efe48e6dd7p-1, -0x1.561335da0f4e7p-55},
    {0x1.9777ef4c7d742p-1, -0x1.15479a240665ep-55}, {0x1.995cf2ed80d22p-1, 0x1.7783e907fbd7bp-56},
    {0x1.9b3e047f38741p-1, -0x1.30ee286712474p-55}, {0x1.9d1b1f5ea80d5p-1, 0x1.c5fadd5ffb36fp-55},
    {0x1.9ef43ef29af94p-1, 0x1.b1dfcb60445c2p-56}, {0x1.a0c95eabaf937p-1, -0x1.e0ca3acbd049ap-55},
    {0x1.a29a7a0462782p-1, -0x1.128bb015df175p-56}, {0x1.a4678c8119ac8p-1, 0x1.1b4c0dd3f212ap-55},
    {0x1.a63091b02fae2p-1, -0x1.e911152248d1p-56}, {0x1.a7f58529fe69dp-1, -0x1.97a441584a179p-55},
    {0x1.a9b66290ea1a3p-1, 0x1.9f630e8b6dac8p-60}, {0x1.ab7325916c0d4p-1, 0x1.a8b8c85baaa9bp-55},
    {0x1.ad2bc9e21d511p-1, -0x1.47fbe07bea548p-55}, {0x1.aee04b43c1474p-1, -0x1.3a79a438bf8ccp-55},
    {0x1.b090a581502p-1, -0x1.926da300ffccep-55}, {0x1.b23cd470013b4p-1, 0x1.5a1bb35ad6d2ep-56},
    {0x1.b3e4d3ef55712p-1, -0x1.eb6b8bf11a493p-55}, {0x1.b5889fe921405p-1, -0x1.df49b307c8602p-57},
    {0x1.b728345196e3ep-1, -0x1.bc69f324e6d61p-55}, {0x1.b8c38d27504e9p-1, -0x1.1529abff40e45p-55},
    {0x1.ba5aa673590d2p-1, 0x1.7ea4e370753b6p-55}, {0x1.bbed7c49380eap-1, 0x1.beacbd88500b4p-59},
    {0x1.bd7c0ac6f952ap-1, -0x1.825a732ac700ap-55}, {0x1.bf064e15377ddp-1, 0x1.2156026a1e028p-57},
    {0x1.c08c426725549p-1, 0x1.b157fd80e2946p-58}, {0x1.c20de3fa971bp-1, -0x1.b4ca2bab1322cp-55},
    {0x1.c38b2f180bdb1p-1, -0x1.6e0b1757c8d07p-56}, {0x1.c5042012b6907p-1, -0x1.5c058dd8eaba5p-57},
    {0x1.c678b3488739bp-1, 0x1.d86cac7c5ff5bp-57}, {0x1.c7e8e52233cf3p-1, 0x1.b2ad324aa35c1p-57},
    {0x1.c954b213411f5p-1, -0x1.2fb761e946603p-58}, {0x1.cabc169a0b9p-1, 0x1.c42d3e10851d1p-55},
    {0x1.cc1f0f3fcfc5cp-1, 0x1.e57613b68f6abp-56}, {0x1.cd7d9898b32f6p-1, -0x1.f2fa062496738p-57},
    {0x1.ced7af43cc773p-1, -0x1.e7b6bb5ab58aep-58}, {0x1.d02d4feb2bd92p-1, 0x1.195ff41bc55fep-55},
    {0x1.d17e7743e35dcp-1, -0x1.101da3540130ap-58}, {0x1.d2cb220e0ef9fp-1, -0x1.f07656d4e6652p-56},
    {0x1.d4134d14dc93ap-1, -0x1.4ef5295d25af2p-55}, {0x1.d556f52e93eb1p-1, -0x1.80ed9233a963p-55},
    {0x1.d696173c9e68bp-1, -0x1.e8c61c6393d55p-56}, {0x1.d7d0b02b8ecf9p-1, 0x1.800f4ce65cd6ep-55},
    {0x1.d906bcf328d46p-1, 0x1.457e610231ac2p-56}, {0x1.da383a9668988p-1, -0x1.5811000b39d84p-55},
    {0x1.db6526238a09bp-1, -0x1.adee7eae6946p-56}, {0x1.dc8d7cb41026p-1, 0x1.6b7872773830dp-56},
    {0x1.ddb13b6ccc23cp-1, 0x1.83c37c6107db3p-55}, {0x1.ded05f7de47dap-1, -0x1.2cc4c1f8ba966p-55},
    {0x1.dfeae622dbe2bp-1, -0x1.514ea88425567p-55}, {0x1.e100cca2980acp-1, -0x1.02d182acdf825p-57},
    {0x1.e212104f686e5p-1, -0x1.014c76c126527p-55}, {0x1.e31eae870ce25p-1, -0x1.bc7094538d678p-56},
    {0x1.e426a4b2bc17ep-1, 0x1.a873889744882p-55}, {0x1.e529f04729ffcp-1, 0x1.9075d6e6dfc8bp-55},
    {0x1.e6288ec48e112p-1, -0x1.16b56f2847754p-57}, {0x1.e7227db6a9744p-1, 0x1.2128794da5a5p-55},
    {0x1.e817bab4cd10dp-1, -0x1.d0afe686b5e0ap-56}, {0x1.e9084361df7f2p-1, 0x1.cdfc7ce9dc3e9p-55},
    {0x1.e9f4156c62ddap-1, 0x1.760b1e2e3f81ep-55}, {0x1.eadb2e8e7a88ep-1, -0x1.92ec52ea226a3p-55},
    {0x1.ebbd8c8df0b74p-1, 0x1.c6c8c615e7277p-56}, {0x1.ec9b2d3c3bf84p-1, 0x1.19119d358de05p-56},
    {0x1.ed740e7684963p-1, 0x1.e82c791f59cc2p-56}, {0x1.ee482e25a9dbcp-1, -0x1.b6066ef81af2ap-56},
    {0x1.ef178a3e473c2p-1, 0x1.6310a67fe774fp-55}, {0x1.efe220c0b95ecp-1, 0x1.c853b7bf7e0cdp-55},
    {0x1.f0a7efb9230d7p-1, 0x1.52c7adc6b4989p-56}, {0x1.f168f53f7205dp-1, -0x1.26a6c1f015601p-57},
    {0x1.f2252f7763adap-1, -0x1.20cb81c8d94abp-55}, {0x1.f2dc9c9089a9dp-1, 0x1.5407460bdfc07p-59},
    {0x1.f38f3ac64e589p-1, -0x1.d7bafb51f72e6p-56}, {0x1.f43d085ff92ddp-1, -0x1.8fde71e361c05p-55},
    {0x1.f4e603b0b2f2dp-1, -0x1.8ee01e695ac05p-56}, {0x1.f58a2b1789e84p-1, 0x1.1f4a188aa368p-56},
    {0x1.f6297cff75cbp-1, 0x1.562172a361fd3p-56}, {0x1.f6c3f7df5bbb7p-1, 0x1.8561ce9d5ef5bp-56},
    {0x1.f7599a3a12077p-1, 0x1.84f31d743195cp-55}, {0x1.f7ea629e63d6ep-1, 0x1.ba92d57ebfeddp-55},
    {0x1.f8764fa714ba9p-1, 0x1.ab256778ffcb6p-56}, {0x1.f8fd5ffae41dbp-1, -0x1.8cfd77fd970d2p-56},
    {0x1.f97f924c9099bp-1, -0x1.e2ae0eea5963bp-55}, {0x1.f9fce55adb2c8p-1, 0x1.f2a06fab9f9d1p-56},
    {0x1.fa7557f08a517p-1, -0x1.7a0a8ca13571fp-55}, {0x1.fae8e8e46cfbbp-1, -0x1.3a9e414732d97p-56},
    {0x1.fb5797195d741p-1, 0x1.1bfac7397cc08p-56}, {0x1.fbc1617e44186p-1, -0x1.58ec496dc4ecbp-59},
    {0x1.fc26470e19fd3p-1, 0x1.1ec8668ecaceep-55}, {0x1.fc8646cfeb721p-1, 0x1.3143dc43a9b9dp-55},
    {0x1.fce15fd6da67bp-1, -0x1.5dd6f830d4c09p-56}, {0x1.fd37914220b84p-1, 0x1.52e9d7b772791p-55},
    {0x1.fd88da3d12526p-1, -0x1.87df6378811c7p-55}, {0x1.fdd539ff1f456p-1, -0x1.ab13cbbec1781p-56},
    {0x1.fe1cafcbd5b09p-1, 0x1.a23e3202a884ep-57}, {0x1.fe5f3af2e394p-1, 0x1.b213f18c9cf17p-55},
    {0x1.fe9cdad01883ap-1, 0x1.521ecd0c67e35p-57}, {0x1.fed58ecb673c4p-1, -0x1.e6e462a7ae686p-56},
    {0x1.ff095658e71adp-1, 0x1.01a8ce18a4b9ep-55}, {0x1.ff3830f8d575cp-1, -0x1.95e1e79d335f7p-56},
    {0x1.ff621e3796d7ep-1, -0x1.c57bc2e24aa15p-57}, {0x1.ff871dadb81dfp-1, 0x1.8b1c676208aa4p-56},
    {0x1.ffa72effef75dp-1, -0x1.8b4cdcdb25956p-55}, {0x1.ffc251df1d3f8p-1, 0x1.7a7d209f32d43p-56},
    {0x1.ffd886084cd0dp-1, -0x1.1354d4556e4cbp-55}, {0x1.ffe9cb44b51a1p-1, 0x1.5b43366df667p-56},
    {0x1.fff62169b92dbp-1, 0x1.5dda3c81fbd0dp-55}, {0x1.fffd8858e8a92p-1, 0x1.359c71883bcf7p-55},
    {0x1p+0, 0.0}};

// 512 / pi, rounded.
constexpr double kInvStep = 0x1.45f306dc9c883p+7;
// pi / 512 = kStep1 + kStep2 + kStep3 + kStep4 to within 2^-143. The first
// three have at most 25 significant bits, so n * kStepK is exact for
// |n| < 2^28, which |x| < 2^20 gives.
constexpr double kStep1 = 0x1.921fb5p-8;
constexpr double kStep2 = 0x1.110b46p-34;
constexpr double kStep3 = 0x1.1a6263p-62;
constexpr double kStep4 = 0x1.8a2e03707344ap-89;
constexpr double kFastLimit = 0x1p20;
// The fast stage's error: relative to the result (it comes to less than
// 2^-67; see FastSine), plus what the reduction may lose (less than 2^-108),
// which only matters for results near zero.
constexpr double kFastRelativeError = 0x1p-66;
constexpr double kFastAbsoluteError = 0x1p-100;

// sin(x + quarter * pi / 2) into result, correctly rounded, for
// 2^-27 <= |x| < 2^20; false where this stage cannot tell the rounding.
inline bool FastSine(double x, int quarter, double& result) {
    // x = n * pi / 512 + r, |r| at most pi / 1024 and a hair (x * 512 / pi
    // may round to the farther integer). The products are exact and so are
    // the sums but the last two; r.hi + r.lo is within 2^-108 of r.
    const double n = (x * kInvStep + 0x1.8p52) - 0x1.8p52;
    const Double2 a = TwoSum(x, -(n * kStep1));
    const Double2 b = TwoSum(a.hi, -(n * kStep2));
    const Double2 c = TwoSum(b.hi, -(n * kStep3));
    const Double2 r = TwoSum(c.hi, ((a.lo + b.lo) + c.lo) - n * kStep4);

    // x + quarter * pi / 2 = (256 q + k) * pi / 512 + r (mod 2 pi), with
    // 0 <= k < 256. Its sine is sin(k * pi / 512 + r) for q = 0, and for
    // q = 1 cos(k * pi / 512 + r) = sin((256 - k) * pi / 512 - r); q = 2
    // and 3 negate those. So: sin(j * pi / 512 + rho), 0 <= j <= 256.
    const int64_t steps = static_cast<int64_t>(n) + 256 * quarter;
    const int q = static_cast<int>((steps >> 8) & 3);
    const int k = static_cast<int>(steps & 255);
    const int j = (q & 1) ? 256 - k : k;
    const double rh = (q & 1) ? -r.hi : r.hi;
    const double rl = (q & 1) ? -r.lo : r.lo;

    // sin(a + rho) = sin a * cos rho + cos a * sin rho, with sin a = s and
    // cos a = t from the table. |rho| < 2^-8.3: the series below stop where
    // their next terms fall under 2^-82 (rho^8 / 8! and rho^9 / 9!).
    const Double2 s = kSinTable[j], t = kSinTable[256 - j];
    const double r2 = rh * rh;
    const double sinTail = rh * r2 * (-1.0 / 6 + r2 * (1.0 / 120 - r2 * (1.0 / 5040)));  // sin rh - rh
    const double cosTail = r2 * (-0.5 + r2 * (1.0 / 24 - r2 * (1.0 / 720)));            // cos rh - 1
    const double sinRest = rl + (sinTail + rl * cosTail);  // sin rho - rh, to first order in rl
    const double cosRest = cosTail - rl * rh;              // cos rho - 1
    // s.hi + t.hi * rh exactly, then everything else, the largest term last.
    // The errors, relative to s.hi: cosTail to 2.5 * 2^-53 of itself
    // (< 2^-17.7), the product with it and the last two sums 2^-53 each of
    // at most 2^-17.7: under 2^-69; everything else under 2^-75. The result
    // is at least s.hi / 2 (j >= 1; for j = 0 it is rho and the errors are
    // smaller still relative to it): under 2^-67 of the result.
    const Double2 p = TwoProduct(t.hi, rh);
    const Double2 h = FastTwoSum(s.hi, p.hi);  // |s.hi| >= 2 |p.hi| unless s.hi = 0
    const double lo = (h.lo + p.lo) + ((s.lo + (t.hi * sinRest + t.lo * rh)) + s.hi * cosRest);
    Double2 v = FastTwoSum(h.hi, lo);
    if (q >= 2) v = {-v.hi, -v.lo};

    // Everything within the error of v rounds to one double, or we cannot
    // tell. (v.lo + error is exact to far below the error: |v.lo| < 2^-52 |v.hi|.)
    const double error = std::fabs(v.hi) * kFastRelativeError + kFastAbsoluteError;
    const double up = v.hi + (v.lo + error);
    const double down = v.hi + (v.lo - error);
    if (up != down) return false;
    result = up;
    return true;
}

// The exact stage's numbers: fixed point in [0, 1), the sum of
// w[i] * 2^(32 * i - 384), least significant word first.
constexpr int kWords = 12;
struct Fixed {
    uint32_t w[kWords] = {};
};

// 2 / pi to 1536 bits after the point and pi / 4 to 384, most significant
// word first (computed with MPFR).
constexpr uint32_t kTwoOverPi[48] = {
    0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0, 0xdb629599, 0x3c439041,
    0xfe5163ab, 0xdebbc561, 0xb7246e3a, 0x424dd2e0, 0x06492eea, 0x09d1921c,
    0xfe1deb1c, 0xb129a73e, 0xe88235f5, 0x2ebb4484, 0xe99c7026, 0xb45f7e41,
    0x3991d639, 0x835339f4, 0x9c845f8b, 0xbdf9283b, 0x1ff897ff, 0xde05980f,
    0xef2f118b, 0x5a0a6d1f, 0x6d367ecf, 0x27cb09b7, 0x4f463f66, 0x9e5fea2d,
    0x7527bac7, 0xebe5f17b, 0x3d0739f7, 0x8a5292ea, 0x6bfb5fb1, 0x1f8d5d08,
    0x56033046, 0xfc7b6bab, 0xf0cfbc20, 0x9af4361d, 0xa9e39161, 0x5ee61b08,
    0x6599855f, 0x14a06840, 0x8dffd880, 0x4d732731, 0x06061556, 0xca73a8c9};
constexpr uint32_t kQuarterPi[12] = {
    0xc90fdaa2, 0x2168c234, 0xc4c6628b, 0x80dc1cd1, 0x29024e08, 0x8a67cc74,
    0x020bbea6, 0x3b139b22, 0x514a0879, 0x8e3404dd, 0xef9519b3, 0xcd3a431b};

// Bits pos .. pos + 31 of the number in w[0..count), least significant word
// first; zeros beyond either end.
uint32_t WordAt(const uint32_t* w, int count, int pos) {
    if (pos <= -32 || pos >= 32 * count) return 0;
    if (pos < 0) return w[0] << -pos;
    const int i = pos / 32, shift = pos % 32;
    uint32_t word = w[i] >> shift;
    if (shift != 0 && i + 1 < count) word |= w[i + 1] << (32 - shift);
    return word;
}

// a * b, cut to 384 bits after the point (less than one unit low).
Fixed Times(const Fixed& a, const Fixed& b) {
    uint32_t full[2 * kWords] = {};
    for (int i = 0; i < kWords; ++i) {
        uint64_t carry = 0;
        for (int k = 0; k < kWords; ++k) {
            const uint64_t sum = static_cast<uint64_t>(a.w[i]) * b.w[k] + full[i + k] + carry;
            full[i + k] = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        full[i + kWords] = static_cast<uint32_t>(carry);
    }
    Fixed product;
    for (int i = 0; i < kWords; ++i) product.w[i] = full[kWords + i];
    return product;
}

// a / d, cut (less than one unit low).
void DivideBy(Fixed& a, uint32_t d) {
    uint64_t rest = 0;
    for (int i = kWords - 1; i >= 0; --i) {
        const uint64_t part = (rest << 32) | a.w[i];
        a.w[i] = static_cast<uint32_t>(part / d);
        rest = part % d;
    }
}

// a += b; true if it passed 1.
bool AddTo(Fixed& a, const Fixed& b) {
    uint64_t carry = 0;
    for (int i = 0; i < kWords; ++i) {
        const uint64_t sum = static_cast<uint64_t>(a.w[i]) + b.w[i] + carry;
        a.w[i] = static_cast<uint32_t>(sum);
        carry = sum >> 32;
    }
    return carry != 0;
}

// a -= b; true if it went below 0.
bool SubtractFrom(Fixed& a, const Fixed& b) {
    uint64_t borrow = 0;
    for (int i = 0; i < kWords; ++i) {
        const uint64_t difference = static_cast<uint64_t>(a.w[i]) - b.w[i] - borrow;
        a.w[i] = static_cast<uint32_t>(difference);
        borrow = difference >> 63;
    }
    return borrow != 0;
}

// 1 - a, for 0 < a < 1.
Fixed OneMinus(const Fixed& a) {
    Fixed r;
    SubtractFrom(r, a);
    return r;
}

bool IsZero(const Fixed& a) {
    for (uint32_t word : a.w) {
        if (word != 0) return false;
    }
    return true;
}

// sin r = r - r^3 / 3! + r^5 / 5! - ..., 0 <= r < 1, until the terms vanish
// in 384 bits. Partial sums stay in (0, 1); each term is at most a few units
// off, the sum under 2^8 units.
Fixed SineSeries(const Fixed& r) {
    const Fixed r2 = Times(r, r);
    Fixed term = r, sum = r;
    for (uint32_t k = 1;; ++k) {
        term = Times(term, r2);
        DivideBy(term, (2 * k) * (2 * k + 1));
        if (IsZero(term)) return sum;
        if (k & 1) {
            SubtractFrom(sum, term);
        } else {
            AddTo(sum, term);
        }
    }
}

// 1 - cos r = r^2 / 2! - r^4 / 4! + ..., 0 < r < 1, the same way.
Fixed OneMinusCosineSeries(const Fixed& r) {
    Fixed term = Times(r, r);
    const Fixed r2 = term;
    DivideBy(term, 2);
    Fixed sum = term;
    for (uint32_t k = 2;; ++k) {
        term = Times(term, r2);
        DivideBy(term, (2 * k - 1) * (2 * k));
        if (IsZero(term)) return sum;
        if (k & 1) {
            AddTo(sum, term);
        } else {
            SubtractFrom(sum, term);
        }
    }
}

// The double nearest to v > 0 (ties to even).
double Nearest(const Fixed& v) {
    int top = kWords - 1;
    while (v.w[top] == 0) --top;
    const int lead = 32 * top + 31 - std::countl_zero(v.w[top]);  // v < 2^(lead - 383)
    const uint64_t first64 = (static_cast<uint64_t>(WordAt(v.w, kWords, lead - 31)) << 32) |
                             WordAt(v.w, kWords, lead - 63);
    bool below = (first64 & 0x3ff) != 0;
    for (int pos = lead - 95; pos > -32; pos -= 32) below = below || WordAt(v.w, kWords, pos) != 0;
    uint64_t mantissa = first64 >> 11;
    int exponent = lead - 384;  // of the leading bit
    if (((first64 >> 10) & 1) != 0 && (below || (mantissa & 1) != 0)) ++mantissa;
    if ((mantissa >> 53) != 0) {
        mantissa >>= 1;
        ++exponent;
    }
    return FromBits((static_cast<uint64_t>(exponent + 1023) << 52) | (mantissa & ((1ull << 52) - 1)));
}

// sin(ax + quarter * pi / 2), correctly rounded, for finite ax >= 2^-27.
double ExactSine(double ax, int quarter) {
    const uint64_t bits = Bits(ax);
    const uint64_t m = (bits & ((1ull << 52) - 1)) | (1ull << 52);
    const int e = static_cast<int>(bits >> 52) - 1075;  // ax = m * 2^e

    // ax * 2 / pi mod 4: the words of 2 / pi before `first` give multiples of
    // 4 with m * 2^e; the 15 from `first` leave less than 2^-394 out.
    constexpr int kSpan = 15;
    const int first = e >= 2 ? (e - 2) / 32 : 0;
    uint32_t product[kSpan + 2] = {};  // m times those words, an integer
    const uint32_t mWords[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
    for (int i = 0; i < 2; ++i) {
        uint64_t carry = 0;
        for (int k = 0; k < kSpan; ++k) {
            const uint64_t sum = static_cast<uint64_t>(mWords[i]) * kTwoOverPi[first + kSpan - 1 - k] +
                                 product[i + k] + carry;
            product[i + k] = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        product[i + kSpan] = static_cast<uint32_t>(carry);
    }
    // product * 2^(e - 32 * (first + kSpan)): the point is `point` bits up.
    const int point = 32 * (first + kSpan) - e;
    uint32_t quadrant = WordAt(product, kSpan + 2, point) & 3;
    Fixed f;
    for (int i = 0; i < kWords; ++i) f.w[i] = WordAt(product, kSpan + 2, point - 32 * (kWords - i));
    // ax = quadrant * pi / 2 + f * pi / 2; past a half, from the next one:
    // ax = (quadrant + 1) * pi / 2 - (1 - f) * pi / 2.
    const bool below = (f.w[kWords - 1] >> 31) != 0;
    if (below) {
        f = OneMinus(f);
        ++quadrant;
    }
    // r = 2 f * pi / 4 < pi / 4.
    for (int i = kWords - 1; i > 0; --i) f.w[i] = (f.w[i] << 1) | (f.w[i - 1] >> 31);
    f.w[0] <<= 1;
    Fixed quarterPi;
    for (int i = 0; i < kWords; ++i) quarterPi.w[i] = kQuarterPi[kWords - 1 - i];
    const Fixed r = Times(f, quarterPi);

    // sin(quadrant' * pi / 2 +- r): +-sin r, cos r, -+sin r, -cos r.
    const uint32_t q = (quadrant + static_cast<uint32_t>(quarter)) & 3;
    Fixed v;
    bool negative;
    if (q & 1) {
        v = OneMinus(OneMinusCosineSeries(r));
        negative = false;
    } else {
        v = SineSeries(r);
        negative = below;
    }
    if (q & 2) negative = !negative;

    // v is within 2^-376 of the true value, which is at least 2^-64 (no
    // double comes closer to a multiple of pi / 2): v's nearest double is
    // the true value's unless that lies within 2^-310 of it relative to a
    // rounding boundary. By the usual counting argument the closest of all
    // doubles should come within some 2^-120 of one.
    const double result = Nearest(v);
    return negative ? -result : result;
}

}  // namespace

double Sine(double x) {
    const double ax = std::fabs(x);
    if (!(ax <= std::numeric_limits<double>::max())) return x - x;  // NaN for infinities and NaN
    // Below 2^-26, x^3 / 6 is under half the gap below x: sin x rounds to x.
    if (ax < 0x1p-26) return x;
    double result;
    if (ax < kFastLimit && FastSine(x, 0, result)) return result;
    result = ExactSine(ax, 0);
    return x < 0 ? -result : result;
}

double Cosine(double x) {
    const double ax = std::fabs(x);
    if (!(ax <= std::numeric_limits<double>::max())) return x - x;
    // Below 2^-27, x^2 / 2 is under half the gap below 1.
    if (ax < 0x1p-27) return 1.0;
    double result;
    if (ax < kFastLimit && FastSine(x, 1, result)) return result;
    return ExactSine(ax, 1);
}

void SineCosine(double x, double& sine, double& cosine) {
    sine = Sine(x);
    cosine = Cosine(x);
}

// ---- Arcsine, in double-double arithmetic.

namespace {

// asin(t) for 0 <= t <= 0.5 (t = t.hi + t.lo): the series
// sum of (2n)! / (4^n (n!)^2) * t^(2n+1) / (2n+1), its terms falling by 4 or
// more, summed until they no longer reach the sum's last bits.
Double2 ArcSineSeries(Double2 t) {
    const Double2 tt = Multiply(t, t);
    Double2 power = t;  // (2n)! / (4^n (n!)^2) * t^(2n+1)
    Double2 sum = t;
    for (int n = 1; n < 90; ++n) {
        power = Divide(Multiply(power, tt), static_cast<double>(2 * n));
        power = Multiply(power, Double2{static_cast<double>(2 * n - 1), 0});
        const Double2 term = Divide(power, static_cast<double>(2 * n + 1));
        sum = Add(sum, term);
        if (std::fabs(term.hi) < 0x1p-112 * std::fabs(sum.hi)) break;
    }
    return sum;
}

}  // namespace

double ArcSine(double x) {
    const double ax = std::fabs(x);
    if (!(ax <= 1)) return (x - x) / (x - x);  // NaN, also for NaN
    constexpr Double2 kHalfPi{0x1.921fb54442d18p0, 0x1.1a62633145c07p-54};
    if (ax == 1) return std::copysign(kHalfPi.hi, x);
    if (ax < 0x1p-26) return x;  // x^3 / 6 is below half an ulp
    Double2 r;
    if (ax <= 0.5) {
        r = ArcSineSeries({ax, 0});
    } else {
        // asin(a) = pi / 2 - 2 asin(sqrt((1 - a) / 2)); 1 - a and the halving
        // are exact here, the square root is taken to double-double.
        const double z = (1 - ax) * 0.5;
        const double s = std::sqrt(z);
        const Double2 square = TwoProduct(s, s);
        const double rest = ((z - square.hi) - square.lo) / (2 * s);
        const Double2 a = ArcSineSeries(FastTwoSum(s, rest));
        r = Add(kHalfPi, Double2{-2 * a.hi, -2 * a.lo});
    }
    return std::copysign(r.hi + r.lo, x);
}

// ---- Fused multiply-add.

double FusedMultiplyAddPortable(double a, double b, double c) {
    // Exactly a * b = p.hi + p.lo and p.hi + c = s.hi + s.lo; then the sum
    // of the small parts rounded to odd and added last gives a * b + c
    // rounded once (Boldo and Melquiond). This needs the product and the sum
    // to stay clear of overflow and of the subnormal range; elsewhere (never
    // in Sine and Cosine) the library's fma decides.
    if (a == 0 || b == 0) return a * b + c;  // an exact product: one rounding
    const double aa = std::fabs(a), ab = std::fabs(b), ac = std::fabs(c);
    const bool ordinary = aa > 0x1p-400 && aa < 0x1p400 && ab > 0x1p-400 && ab < 0x1p400 &&
                          (c == 0 || (ac > 0x1p-400 && ac < 0x1p800));
    if (!ordinary) return std::fma(a, b, c);
    const Double2 p = TwoProduct(a, b);
    const Double2 s = TwoSum(c, p.hi);
    const Double2 v = TwoSum(s.lo, p.lo);
    double odd = v.hi;
    uint64_t bits = Bits(odd);
    if (v.lo != 0 && (bits & 1) == 0) {
        // Inexact with an even last bit: step one ulp towards the exact sum.
        bits += (v.lo > 0) == (odd > 0) ? 1 : -1;
        odd = FromBits(bits);
    }
    return s.hi + odd;
}

