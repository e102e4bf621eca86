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

/** One control as a host parameter, named as STATUS names it. A fader is a
    range of whole numbers, 0 to 127. A switch, a choice, a waveform or the HPF
    is a list of its positions whose plain value is its normalised one (0,
    1/(n-1) ... 1): Debian's JUCE writes an LV2 plugin's scale points as
    normalised values, which a host takes as plain ones, so any other plain
    range would have a host's menu pick the wrong position. */
class PanelParameter final : public juce::RangedAudioParameter
{
public:
    PanelParameter (const juce::ParameterID& id, PanelControl panelControl, int initialPosition)
        : RangedAudioParameter (id, juce::String (PanelControls::shown (panelControl, {}).name)),
          control (panelControl), positions (PanelControls::positionCount (panelControl)),
          range (isFader() ? juce::NormalisableRange<float> (0.0f, static_cast<float> (positions - 1), 1.0f)
                           : juce::NormalisableRange<float> (0.0f, 1.0f, 1.0f / static_cast<float> (positions - 1))),
          defaultValue (normalisedFor (initialPosition)), value (defaultValue)
    {
    }

    float getValue() const override { return value.load(); }
    void setValue (float newValue) override { value.store (juce::jlimit (0.0f, 1.0f, newValue)); }
    float getDefaultValue() const override { return defaultValue; }
    int getNumSteps() const override { return positions; }
    bool isDiscrete() const override { return !isFader(); }
    bool isBoolean() const override { return control == PanelControl::square || control == PanelControl::saw; }
    const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    juce::String getText (float normalised, int) const override
    {
        const int at = positionFor (normalised);
        if (isBoolean())
            return at == 1 ? "On" : "Off";
        return PanelControls::positionText (control, at);
    }

    float getValueForText (const juce::String& text) const override
    {
        for (int at = 0; at < positions; ++at)
            if (text.trim().equalsIgnoreCase (getText (normalisedFor (at), 100)))
                return normalisedFor (at);
        return normalisedFor (text.getIntValue());
    }

    int positionFor (float normalised) const
    {
        return juce::jlimit (0, positions - 1, juce::roundToInt (normalised * static_cast<float> (positions - 1)));
    }
    float normalisedFor (int at) const
    {
        return static_cast<float> (juce::jlimit (0, positions - 1, at)) / static_cast<float> (positions - 1);
    }

private:
    bool isFader() const { return positions == 128; }

    const PanelControl control;
    const int positions;
    const juce::NormalisableRange<float> range;
    const float defaultValue;
    std::atomic<float> value;
};
} // namespace

const std::array<PanelControl, HostParameters::count> HostParameters::controls = controlsInOrder();

HostParameters::HostParameters (juce::AudioProcessor& processor)
{
    const PatchModel init;
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        const int position = PanelControls::position (definitions[i].control, init.data);
        positions[i].store (static_cast<int16_t> (position));
        auto parameter = std::make_unique<PanelParameter> (
            juce::ParameterID (definitions[i].id, 1), definitions[i].control, position);
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
    return static_cast<const PanelParameter&> (parameter).positionFor (parameter.getValue());
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
        const float value = static_cast<const PanelParameter&> (parameter).normalisedFor (position);
        if (fromAudioThread.load())
        {
            parameter.setValue (value);
            shownUnannounced.fetch_or (uint32_t{1} << i, std::memory_order_acq_rel);
            continue;
        }
        if (asGesture)
            parameter.beginChangeGesture();
        parameter.setValueNotifyingHost (value);
        if (asGesture)
            parameter.endChangeGesture();
    }
}

void HostParameters::announceShown()
{
    uint32_t bits = shownUnannounced.exchange (0, std::memory_order_acq_rel);
    if (bits == 0)
        return;
    const juce::ScopedValueSetter<bool> showing (showingPatch, true);
    while (bits != 0)
    {
        const int index = __builtin_ctz (bits);
        bits &= bits - 1;
        auto& parameter = *parameters[static_cast<size_t> (index)];
        parameter.sendValueChangedMessageToListeners (parameter.getValue());
    }
}
