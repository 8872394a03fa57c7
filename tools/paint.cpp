#include "paint.h"

namespace gen {

void DrawStars(Canvas& canvas, Random& random, int count, double y0, double y1, Rgb tint) {
    for (int i = 0; i < count; ++i) {
        const double x = random.range(0, canvas.width);
        const double y = random.range(y0, y1);
        const double fade = 1 - SmoothStep(y0 + (y1 - y0) * 0.5, y1, y);
        const double bright = random.uniform();
        const double size = 0.45 + 0.9 * bright * bright;
        const Rgb colour = Mix(tint, Rgb{255, 255, 255}, random.uniform());
        const double strength = (0.35 + 0.65 * bright) * fade;
        FillShape(
            canvas, x - 3, y - 3, x + 3, y + 3,
            [&](double px, double py) { return SdCircle(px, py, x, y, size); },
            [&](double, double) { return colour; }, strength);
        if (bright > 0.93) {
            // A few bright ones get a soft cross.
            for (int k = -5; k <= 5; ++k) {
                const double a = strength * 0.5 * (1 - std::fabs(k) / 6.0);
                canvas.blend(int(x) + k, int(y), colour, a);
                canvas.blend(int(x), int(y) + k, colour, a);
            }
        }
    }
}

}  // namespace gen
