#include "plugin/HostParameters.h"

namespace
{
/** Set while the plugin itself moves a parameter to show its patch: such a move is no host's. */
thread_local bool showingPatch = false;

struct Definition
{
    PanelControl control;
    const char* id; // stable: hosts store automation under it
};

const Definition definitions[HostParameters::count] = {
    {PanelControl::lfoRate, "lfoRate"},   {PanelControl::lfoDelay, "lfoDelay"},
    {PanelControl::dcoLfo, "dcoLfo"},     {PanelControl::dcoPwm, "dcoPwm"},
    {PanelControl::noise, "noise"},       {PanelControl::vcfFreq, "vcfFreq"},
    {PanelControl::vcfRes, "vcfRes"},     {PanelControl::vcfEnv, "vcfEnv"},
    {PanelControl::vcfLfo, "vcfLfo"},     {PanelControl::vcfKybd, "vcfKybd"},
    {PanelControl::vcaLevel, "vcaLevel"}, {PanelControl::attack, "attack"},
    {PanelControl::decay, "decay"},       {PanelControl::sustain, "sustain"},
    {PanelControl::release, "release"},   {PanelControl::subLevel, "subLevel"},
    {PanelControl::range, "range"},       {PanelControl::square, "square"},
    {PanelControl::saw, "saw"},           {PanelControl::chorus, "chorus"},
    {PanelControl::pwm, "pwm"},           {PanelControl::vcfPolarity, "vcfPolarity"},
    {PanelControl::vcaMode, "vcaMode"},   {PanelControl::hpf, "hpf"},
};

std::array<PanelControl, HostParameters::count> controlsInOrder()
{
    std::array<PanelControl, HostParameters::count> result{};
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = definitions[i].control;
    return result;
}

/** The parameter a control is to a host: a whole number for a fader, a choice
    of its texts for a switch or a choice, on and off for a waveform. */
std::unique_ptr<juce::RangedAudioParameter> makeParameter (const Definition& definition, int initialPosition)
{
    const juce::ParameterID id (definition.id, 1);
    const juce::String name (PanelControls::shown (definition.control, {}).name);
    const int positions = PanelControls::positionCount (definition.control);
    if (definition.control == PanelControl::square || definition.control == PanelControl::saw)
        return std::make_unique<juce::AudioParameterBool> (id, name, initialPosition == 1);
    if (positions == 128 || definition.control == PanelControl::hpf)
        return std::make_unique<juce::AudioParameterInt> (id, name, 0, positions - 1, initialPosition);
    juce::StringArray texts;
    for (int position = 0; position < positions; ++position)
        texts.add (PanelControls::positionText (definition.control, position));
    return std::make_unique<juce::AudioParameterChoice> (id, name, texts, initialPosition);
}
} // namespace

const std::array<PanelControl, HostParameters::count> HostParameters::controls = controlsInOrder();

HostParameters::HostParameters (juce::AudioProcessor& processor)
{
    const PatchModel init;
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        const int position = PanelControls::position (definitions[i].control, init.data);
        positions[i].store (static_cast<int16_t> (position));
        auto parameter = makeParameter (definitions[i], position);
        parameters[i] = parameter.get();
        parameter->addListener (this);
        processor.addParameter (parameter.release());
    }
}

HostParameters::~HostParameters()
{
    for (auto* parameter : parameters)
        parameter->removeListener (this);
}

int HostParameters::positionOf (int index) const
{
    const auto& parameter = *parameters[static_cast<size_t> (index)];
    return juce::roundToInt (parameter.convertFrom0to1 (parameter.getValue()));
}

void HostParameters::parameterValueChanged (int parameterIndex, float)
{
    // Any thread: the audio thread for automation, the message thread for a host's own controls.
    if (showingPatch || parameterIndex < 0 || parameterIndex >= count)
        return;
    const auto bit = uint32_t{1} << parameterIndex;
    positions[static_cast<size_t> (parameterIndex)].store (static_cast<int16_t> (positionOf (parameterIndex)));
    waitingForAudio.fetch_or (bit, std::memory_order_acq_rel);
    waitingForSession.fetch_or (bit, std::memory_order_acq_rel);
}

void HostParameters::showPatch (const std::array<uint8_t, PatchBits::numBytes>& data, bool asGesture)
{
    const juce::ScopedValueSetter<bool> showing (showingPatch, true);
    for (int i = 0; i < count; ++i)
    {
        const int position = PanelControls::position (controls[static_cast<size_t> (i)], data);
        if (positionOf (i) == position)
            continue;
        auto& parameter = *parameters[static_cast<size_t> (i)];
        const float value = parameter.convertTo0to1 (static_cast<float> (position));
        if (asGesture)
            parameter.beginChangeGesture();
        parameter.setValueNotifyingHost (value);
        if (asGesture)
            parameter.endChangeGesture();
    }
}
