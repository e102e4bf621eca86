#include "explore/SoundMorph.h"

#include <algorithm>
#include <cmath>

namespace SoundMorph
{
Point pointAt (double x, double y)
{
    const auto toUnits = [] (double fraction)
    {
        if (!(fraction > 0.0)) // NaN too
            return int64_t{0};
        return fraction >= 1.0 ? unit : static_cast<int64_t> (std::llround (fraction * static_cast<double> (unit)));
    };
    return {toUnits (x), toUnits (y)};
}

std::vector<int64_t> weights (size_t corners, Point point)
{
    const int64_t x = std::clamp (point.x, int64_t{0}, unit);
    const int64_t y = std::clamp (point.y, int64_t{0}, unit);
    if (corners < 2)
        return {unit * unit};
    if (corners == 2)
        return {(unit - x) * unit, x * unit};
    const int64_t a = (unit - x) * (unit - y);
    const int64_t b = x * (unit - y);
    const int64_t c = (unit - x) * y;
    const int64_t d = x * y;
    if (corners == 3)
        return {a, b, c + d};
    return {a, b, c, d};
}

size_t strongestCorner (const std::vector<int64_t>& cornerWeights)
{
    return static_cast<size_t> (std::max_element (cornerWeights.begin(), cornerWeights.end()) - cornerWeights.begin());
}

SoundControls::Bytes blend (const std::vector<SoundControls::Bytes>& corners, Point point)
{
    if (corners.empty())
        return {};
    if (corners.size() < 2)
    {
        SoundControls::Bytes only = corners.front();
        PatchBits::correctValues (only);
        return only;
    }
    const auto used = std::min<size_t> (corners.size(), 4);
    const auto cornerWeights = weights (used, point);

    // Switch bytes whole from the strongest corner, then every fader blended onto them.
    SoundControls::Bytes result = corners[strongestCorner (cornerWeights)];
    constexpr int64_t total = unit * unit;
    for (const auto& control : SoundControls::all())
    {
        if (!control.isFader)
            continue;
        const auto index = static_cast<size_t> (PanelControls::byteIndex (control.control));
        int64_t sum = 0;
        for (size_t corner = 0; corner < used; ++corner)
            sum += cornerWeights[corner] * corners[corner][index];
        result[index] = static_cast<uint8_t> ((sum + total / 2) / total);
    }
    PatchBits::correctValues (result);
    return result;
}
} // namespace SoundMorph
