#pragma once
// Sine, cosine and arcsine computed by our own code, so that every build
// (Linux, Windows, WebAssembly) gets the same bits from the same argument:
// the platforms' math libraries round differently in the last place, and
// the frames depend on those bits.
//
// Sine and Cosine give exactly what GNU libc 2.36 gives on x86-64 with FMA
// (the frames were first made with it); ArcSine is correctly rounded (as
// that libc's was for every argument the show uses).

// sin(x) and cos(x) for any double; NaN for infinities and NaN.
double Sine(double x);
double Cosine(double x);
// Both at once, each exactly as Sine and Cosine give it.
void SineCosine(double x, double& sine, double& cosine);
// asin(x), correctly rounded for all but the rarest arguments; NaN outside
// [-1, 1].
double ArcSine(double x);

// a * b + c rounded once, as IEEE 754 defines it; what Sine and Cosine are
// built on. Exposed for its test.
double FusedMultiplyAdd(double a, double b, double c);
double FusedMultiplyAddPortable(double a, double b, double c);
