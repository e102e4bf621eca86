#include "app/BackgroundWork.h"

namespace
{
constexpr int pollMs = 50;
constexpr int cancelButton = 1;
} // namespace

/** The thread the work runs on. */
class BackgroundWork::Worker : public juce::Thread
{
public:
    Worker (Work workToRun, std::shared_ptr<Progress> progressToReport)
        : Thread ("Qorv file work"), work (std::move (workToRun)), progress (std::move (progressToReport))
    {
    }

    void run() override
    {
        work (*progress);
        finished = true;
    }

    std::atomic<bool> finished{false};

private:
    Work work;
    std::shared_ptr<Progress> progress;
};

void BackgroundWork::Progress::report (double newFraction, const juce::String& newLine)
{
    fraction = juce::jlimit (0.0, 1.0, newFraction);
    const juce::ScopedLock guard (lineLock);
    line = newLine;
}

BackgroundWork::BackgroundWork() = default;

BackgroundWork::~BackgroundWork()
{
    stopAndForget();
}

bool BackgroundWork::start (const juce::String& jobTitle, Work work, Done done)
{
    if (isRunning())
        return false;
    title = jobTitle;
    whenDone = std::move (done);
    shownFraction = 0.0;
    progress = std::make_shared<Progress>();
    worker = std::make_unique<Worker> (std::move (work), progress);
    startedAt = juce::Time::getMillisecondCounter();
    worker->startThread();
    startTimer (pollMs);
    return true;
}

void BackgroundWork::timerCallback()
{
    if (worker->finished)
    {
        finish();
        return;
    }
    if (window == nullptr &&
        juce::Time::getMillisecondCounter() - startedAt >= static_cast<juce::uint32> (windowDelayMs))
        showWindow();
    if (window != nullptr)
    {
        shownFraction = progress->fraction.load();
        const juce::ScopedLock guard (progress->lineLock);
        window->setMessage (progress->line);
    }
}

void BackgroundWork::showWindow()
{
    window = std::make_unique<juce::AlertWindow> (title, progress->line, juce::MessageBoxIconType::NoIcon);
    window->addProgressBarComponent (shownFraction);
    window->addButton ("Cancel", cancelButton, juce::KeyPress (juce::KeyPress::escapeKey));
    // Cancel: the work stops at its next step. The window closed by finish() answers 0.
    window->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [stopping = progress] (int result)
                                 {
                                     if (result == cancelButton)
                                         stopping->stopRequested = true;
                                 }),
                             false);
}

void BackgroundWork::finish()
{
    stopTimer();
    worker->stopThread (-1); // it has finished: this only joins it
    worker.reset();
    if (window != nullptr)
    {
        window->exitModalState (0);
        window.reset();
    }
    const bool wasCancelled = progress->shouldStop();
    progress.reset();

    const Done done = std::move (whenDone);
    whenDone = nullptr;
    if (done)
        done (wasCancelled);
}

void BackgroundWork::stopAndForget()
{
    stopTimer();
    if (worker != nullptr)
    {
        progress->stopRequested = true;
        worker->stopThread (-1);
        worker.reset();
    }
    window.reset();
    progress.reset();
    whenDone = nullptr;
}
