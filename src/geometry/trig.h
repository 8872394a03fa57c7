#pragma once
// Sine, cosine and arcsine computed by our own code, so that every build
// (Linux, Windows, WebAssembly) gets the same bits from the same argument:
// the platforms' math libraries round differently in the last place, and
// the frames depend on those bits.

// sin(x) and cos(x), correctly rounded (to nearest) for every finite x;
// NaN for infinities and NaN.
double Sine(double x);
double Cosine(double x);
// Both at once, each exactly as Sine and Cosine give it.
void SineCosine(double x, double& sine, double& cosine);
// asin(x), correctly rounded for all but the rarest arguments; NaN outside
// [-1, 1].
double ArcSine(double x);

// a * b + c rounded once, as IEEE 754 defines it, in plain arithmetic (the
// library's fma outside the range where that is exact). Exposed for its
// test.
double FusedMultiplyAddPortable(double a, double b, double c);
