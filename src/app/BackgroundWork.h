#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <memory>

/** Runs long file work off the message thread, so the window never freezes.
    A progress window with Cancel appears when the work takes longer than a
    moment; Cancel asks the work to stop at its next step. What the work
    found is handed to `done` on the message thread, where it may change the
    library: the library never changes while the work runs. One job at a time. */
class BackgroundWork : private juce::Timer
{
public:
    /** What the work sees of the world: where to report, whether to stop. */
    class Progress
    {
    public:
        /** How far the work has come, 0 to 1, and a line saying what it is doing. */
        void report (double fraction, const juce::String& line);
        bool shouldStop() const { return stopRequested.load(); }

    private:
        friend class BackgroundWork;
        std::atomic<bool> stopRequested{false};
        std::atomic<double> fraction{0.0};
        juce::CriticalSection lineLock;
        juce::String line;
    };

    using Work = std::function<void (Progress&)>;
    /** Told on the message thread once the work has ended; `cancelled` when Cancel stopped it. */
    using Done = std::function<void (bool cancelled)>;

    BackgroundWork();
    /** Stops the work and waits for it. */
    ~BackgroundWork() override;

    /** Starts the work on a thread of its own; false (nothing started) while other work runs. */
    bool start (const juce::String& title, Work work, Done done);
    bool isRunning() const { return worker != nullptr; }
    /** The progress window, while it shows. */
    juce::AlertWindow* progressWindow() const { return window.get(); }
    /** How far the running work has come, 0 to 1. */
    double fractionDone() const { return progress != nullptr ? progress->fraction.load() : 0.0; }
    /** Asks the work to stop and waits until it has, without telling `done`. */
    void stopAndForget();

    /** Work done sooner shows no window at all. */
    int windowDelayMs = 400;

private:
    class Worker;

    void timerCallback() override;
    void showWindow();
    void finish();

    std::unique_ptr<Worker> worker;
    std::shared_ptr<Progress> progress;
    Done whenDone;
    juce::String title;
    juce::uint32 startedAt = 0;
    double shownFraction = 0.0;
    std::unique_ptr<juce::AlertWindow> window;

    JUCE_DECLARE_NON_COPYABLE (BackgroundWork)
};
