#pragma once

#include <atomic>

/** When a plugin sends its whole patch to the synthesizer without being asked:
    once when playback first starts after a project brought its state back,
    at every start of playback when so chosen, and as the project opens when so
    chosen. Never because a host created the plugin or handed it its state:
    hosts do both while they scan and load. The message thread tells of
    restores and options; the audio thread tells of playback. Lock-free. */
class PatchRecall
{
public:
    /** A project's state came back: the next start of playback sends the patch.
        Returns whether it is also to be sent as the project opens. */
    bool stateRestored()
    {
        armed.store (true);
        return whenProjectOpens.load();
    }

    /** On the audio thread, once a block: whether playback runs. True when the
        patch is to be sent now, at a start of playback. */
    bool transport (bool playing)
    {
        const bool starts = playing && !wasPlaying;
        wasPlaying = playing;
        if (!starts)
            return false;
        return armed.exchange (false) || everyStart.load();
    }

    void setSendAtEveryStart (bool on) { everyStart.store (on); }
    void setSendWhenProjectOpens (bool on) { whenProjectOpens.store (on); }
    bool sendsAtEveryStart() const { return everyStart.load(); }
    bool sendsWhenProjectOpens() const { return whenProjectOpens.load(); }

private:
    std::atomic<bool> armed{false};
    std::atomic<bool> everyStart{false};
    std::atomic<bool> whenProjectOpens{false};
    bool wasPlaying = false; // audio thread only
};
