#include "plugin/MessageThreadCall.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace MessageThreadCall
{
namespace
{
    /** One call handed over: whoever takes it first (the message thread, or
        the caller when it has waited long enough) runs it, once. */
    struct Handover
    {
        enum class Stage
        {
            waiting,
            running,
            done
        };

        std::mutex lock;
        std::condition_variable finished;
        Stage stage = Stage::waiting;
        std::function<void()> work;

        bool take()
        {
            const std::lock_guard<std::mutex> guard (lock);
            if (stage != Stage::waiting)
                return false;
            stage = Stage::running;
            return true;
        }

        void runTaken()
        {
            work();
            const std::lock_guard<std::mutex> guard (lock);
            stage = Stage::done;
            finished.notify_all();
        }
    };
} // namespace

void runAndWait (std::function<void()> work, int patienceMs)
{
    auto* messages = juce::MessageManager::getInstanceWithoutCreating();
    // Holding the message manager's lock (JUCE's VST3 client deletes the
    // processor so) is being the message thread: nothing runs there meanwhile.
    if (messages == nullptr || messages->isThisTheMessageThread() || messages->currentThreadHasLockedMessageManager())
    {
        work();
        return;
    }

    auto handover = std::make_shared<Handover>();
    handover->work = std::move (work);
    const bool posted = juce::MessageManager::callAsync (
        [handover]
        {
            if (handover->take())
                handover->runTaken();
        });

    std::unique_lock<std::mutex> guard (handover->lock);
    if (posted)
        handover->finished.wait_for (
            guard, std::chrono::milliseconds (patienceMs), [&] { return handover->stage != Handover::Stage::waiting; });
    if (handover->stage == Handover::Stage::waiting)
    {
        handover->stage = Handover::Stage::running;
        guard.unlock();
        handover->runTaken();
        return;
    }
    // Taken by the message thread: it finishes, however long that takes.
    handover->finished.wait (guard, [&] { return handover->stage == Handover::Stage::done; });
}
} // namespace MessageThreadCall
