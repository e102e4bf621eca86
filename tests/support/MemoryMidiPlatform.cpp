#include "MemoryMidiPlatform.h"

#include <algorithm>
#include <chrono>
#include <utility>

MemoryMidiPlatform::MemoryMidiPlatform (int linkBytesPerSecond)
    : pacedOutput (std::make_unique<PacedSender> (
          [this] (OutputPacer::Step step)
          {
              if (step.isSwitch())
                  pacedDestination = *step.newDestination;
              writtenLog->add ({pacedDestination, std::move (step.message)});
          },
          linkBytesPerSecond))
{
}

MemoryMidiPlatform::~MemoryMidiPlatform()
{
    stop();
    pacedOutput.reset();
}

void MemoryMidiPlatform::WrittenLog::add (Written written)
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        log.push_back (std::move (written));
    }
    grew.notify_all();
}

std::vector<MemoryMidiPlatform::Written> MemoryMidiPlatform::WrittenLog::entries() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return log;
}

bool MemoryMidiPlatform::WrittenLog::waitFor (size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> guard (lock);
    return grew.wait_for (guard, timeout, [&] { return log.size() >= count; });
}

void MemoryMidiPlatform::clearSent()
{
    sent.clear();
    sentDelivery.clear();
}

void MemoryMidiPlatform::setSource (uint32_t endpoint)
{
    source = endpoint;
    sourcesSet.push_back (endpoint);
    const std::lock_guard<std::mutex> guard (receiveLock);
    sourceOpen = endpoint != 0;
}

void MemoryMidiPlatform::connectControlSource (uint32_t endpoint)
{
    if (std::find (controlSources.begin(), controlSources.end(), endpoint) == controlSources.end())
        controlSources.push_back (endpoint);
}

void MemoryMidiPlatform::disconnectControlSource (uint32_t endpoint)
{
    controlSources.erase (std::remove (controlSources.begin(), controlSources.end(), endpoint), controlSources.end());
}

void MemoryMidiPlatform::setDestination (uint32_t endpoint)
{
    destination = endpoint;
    if (pacedOutput != nullptr)
        pacedOutput->switchDestination (endpoint);
}

void MemoryMidiPlatform::send (const uint8_t* bytes, size_t count, Delivery delivery)
{
    sent.emplace_back (bytes, bytes + count);
    sentDelivery.push_back (delivery);
    if (pacedOutput != nullptr)
        pacedOutput->submit (OutputPacer::Message (bytes, bytes + count), delivery);
}

void MemoryMidiPlatform::finishSending (std::chrono::milliseconds limit)
{
    finishLimit = limit;
    if (pacedOutput == nullptr)
        return;
    pacedOutput->switchDestination (0);
    pacedOutput->finish (limit);
}

bool MemoryMidiPlatform::inject (const std::vector<uint8_t>& bytes)
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver == nullptr || !sourceOpen)
        return false;
    receiver->rawBytesReceived (bytes.data(), bytes.size());
    return true;
}

bool MemoryMidiPlatform::injectControl (const std::vector<uint8_t>& bytes)
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver == nullptr)
        return false;
    receiver->controlBytesReceived (bytes.data(), bytes.size());
    return true;
}

void MemoryMidiPlatform::injectLoss()
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver != nullptr)
        receiver->receivedBytesLost();
}

void MemoryMidiPlatform::announceSetupChange()
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver != nullptr)
        receiver->setupChanged();
}

void MemoryMidiPlatform::announcePortRemoved (uint32_t endpoint)
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver != nullptr)
    {
        receiver->portRemoved (endpoint);
        receiver->setupChanged();
    }
}

void MemoryMidiPlatform::startReceiving (std::vector<uint8_t> bytes)
{
    if (receiveThread.joinable())
        return;
    stopReceiving = false;
    receiveThread = std::thread (
        [this, bytes = std::move (bytes)]
        {
            while (!stopReceiving)
            {
                if (inject (bytes))
                    ++receivedCount;
                // A real link brings a few messages a millisecond at most; unpaused,
                // this thread would post faster than any message thread runs the calls.
                std::this_thread::sleep_for (std::chrono::microseconds (200));
            }
        });
}

void MemoryMidiPlatform::start (Receiver& newReceiver)
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    receiver = &newReceiver;
}

void MemoryMidiPlatform::stop()
{
    stopReceiving = true;
    if (receiveThread.joinable())
        receiveThread.join();
    const std::lock_guard<std::mutex> guard (receiveLock);
    receiver = nullptr;
}
