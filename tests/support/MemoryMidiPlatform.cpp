#include "MemoryMidiPlatform.h"

#include <chrono>
#include <utility>

MemoryMidiPlatform::~MemoryMidiPlatform()
{
    stop();
}

void MemoryMidiPlatform::clearSent()
{
    sent.clear();
    sentDelivery.clear();
}

void MemoryMidiPlatform::setSource (uint32_t endpoint)
{
    source = endpoint;
    const std::lock_guard<std::mutex> guard (receiveLock);
    sourceOpen = endpoint != 0;
}

void MemoryMidiPlatform::send (const uint8_t* bytes, size_t count, Delivery delivery)
{
    sent.emplace_back (bytes, bytes + count);
    sentDelivery.push_back (delivery);
}

bool MemoryMidiPlatform::inject (const std::vector<uint8_t>& bytes)
{
    const std::lock_guard<std::mutex> guard (receiveLock);
    if (receiver == nullptr || !sourceOpen)
        return false;
    receiver->rawBytesReceived (bytes.data(), bytes.size());
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
