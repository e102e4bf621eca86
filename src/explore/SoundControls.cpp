#include "explore/SoundControls.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace SoundControls
{
namespace
{
    const char* const sectionNames[sectionCount] = {"LFO", "DCO", "HPF", "VCF", "VCA", "ENV", "CHORUS"};

    /** The panel's description names each control as PanelControls does its
        choices and levels ("Range", "VCF Freq"), so the two tables meet by name. */
    std::array<Control, count> build()
    {
        const auto described = PatchDescription::describe (Bytes{});
        if (described.size() != static_cast<size_t> (count))
            throw std::logic_error ("a sound is described by 24 controls");
        std::array<Control, count> controls{};
        for (size_t i = 0; i < described.size(); ++i)
        {
            const auto control = PanelControls::fromName (described[i].name);
            if (!control)
                throw std::logic_error (std::string ("no panel control named ") + described[i].name);
            const int positions = PanelControls::positionCount (*control);
            controls[i] = {*control, described[i].section, positions == 128, positions};
        }
        return controls;
    }
} // namespace

const std::array<Control, count>& all()
{
    static const std::array<Control, count> controls = build();
    return controls;
}

Positions positions (const Bytes& data)
{
    Positions result{};
    const auto& controls = all();
    for (size_t i = 0; i < controls.size(); ++i)
        result[i] = static_cast<uint8_t> (PanelControls::position (controls[i].control, data));
    return result;
}

Bytes withPosition (const Bytes& base, PanelControl control, int position)
{
    Bytes result = base;
    if (const auto change = PanelControls::apply (control, position, base))
        result[static_cast<size_t> (change->byteIndex)] = change->value;
    return result;
}

const char* sectionName (Section section)
{
    return sectionNames[static_cast<int> (section)];
}

std::optional<Section> sectionFromName (const std::string& name)
{
    std::string upper = name;
    std::transform (upper.begin(),
                    upper.end(),
                    upper.begin(),
                    [] (unsigned char c) { return static_cast<char> (std::toupper (c)); });
    for (int i = 0; i < sectionCount; ++i)
        if (upper == sectionNames[i])
            return static_cast<Section> (i);
    return std::nullopt;
}
} // namespace SoundControls
