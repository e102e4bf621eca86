#include "capture/TakeSettings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string Phrase::name() const
{
    // Milliseconds at most, without trailing zeros: 1 -> "1", 2.5 -> "2.5", 0.125 -> "0.125".
    char text[32];
    std::snprintf (text, sizeof (text), "%.3f", std::round (hold * 1000.0) / 1000.0);
    std::string holdText = text;
    while (holdText.back() == '0')
        holdText.pop_back();
    if (holdText.back() == '.')
        holdText.pop_back();
    return "note" + std::to_string (note) + "-" + holdText + "s";
}

std::optional<Phrase> Phrase::parse (const std::string& name)
{
    if (name.rfind ("note", 0) != 0 || name.size() < 8 || name.back() != 's')
        return std::nullopt;
    const size_t dash = name.find ('-');
    if (dash == std::string::npos)
        return std::nullopt;
    const std::string noteText = name.substr (4, dash - 4);
    const std::string holdText = name.substr (dash + 1, name.size() - dash - 2);
    if (noteText.empty() || noteText.size() > 3 || noteText.find_first_not_of ("0123456789") != std::string::npos ||
        holdText.empty() || holdText.find_first_not_of ("0123456789.") != std::string::npos)
        return std::nullopt;
    Phrase phrase;
    phrase.note = std::atoi (noteText.c_str());
    phrase.hold = std::strtod (holdText.c_str(), nullptr);
    // Only the one spelling of a phrase names it, so one sound has one file.
    if (!phrase.isValid() || phrase.name() != name)
        return std::nullopt;
    return phrase;
}

bool Phrase::isValid() const
{
    return note >= 0 && note <= 127 && hold >= 0.010 && hold <= 60.0;
}
