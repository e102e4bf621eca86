#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <vector>

/** What JUCE's VST3 host keeps of a plugin in a project: the component's
    state, in JUCE's own base64, in a small XML document. Made here from the
    plugin's own state bytes, so a test can hand a plugin a project's state. */
inline juce::MemoryBlock vst3HostState (const std::vector<uint8_t>& pluginState)
{
    juce::XmlElement xml ("VST3PluginState");
    xml.createNewChildElement ("IComponent")
        ->addTextElement (juce::MemoryBlock (pluginState.data(), pluginState.size()).toBase64Encoding());
    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary (xml, block);
    return block;
}
