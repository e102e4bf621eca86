#include "ScriptedSynthesizer.h"

#include <algorithm>
#include <chrono>

namespace
{
/** F0 41 30, the channel, the number, the 18 bytes, F7. */
ScriptedSynthesizer::Bytes dumpOf (uint8_t channel, int number, const ScriptedSynthesizer::PatchBytes& bytes)
{
    ScriptedSynthesizer::Bytes dump (24);
    dump[0] = 0xF0;
    dump[1] = 0x41;
    dump[2] = 0x30;
    dump[3] = channel;
    dump[4] = static_cast<uint8_t> (number);
    std::copy (bytes.begin(), bytes.end(), dump.begin() + 5);
    dump[23] = 0xF7;
    return dump;
}
} // namespace

ScriptedSynthesizer::ScriptedSynthesizer (const std::string& device, int midiChannel)
    : port (device), channel (static_cast<uint8_t> (midiChannel)), thread ([this] { run(); })
{
}

ScriptedSynthesizer::~ScriptedSynthesizer()
{
    running = false;
    thread.join();
}

void ScriptedSynthesizer::script (int memory, Answer answer)
{
    const std::lock_guard<std::mutex> guard (lock);
    answers[memory] = answer;
}

ScriptedSynthesizer::Bytes ScriptedSynthesizer::received() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return allReceived;
}

std::vector<int> ScriptedSynthesizer::dumpsReceived() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return dumps;
}

ScriptedSynthesizer::PatchBytes ScriptedSynthesizer::memory (int number) const
{
    const std::lock_guard<std::mutex> guard (lock);
    return memories[static_cast<size_t> (number)];
}

ScriptedSynthesizer::PatchBytes ScriptedSynthesizer::damaged (PatchBytes bytes)
{
    bytes[5] = static_cast<uint8_t> (bytes[5] ^ 0x10);
    return bytes;
}

void ScriptedSynthesizer::run()
{
    while (running)
    {
        const Bytes bytes = port.read();
        if (bytes.empty())
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
            continue;
        }
        if (echoing)
            port.write (bytes);
        for (const uint8_t byte : bytes)
        {
            {
                const std::lock_guard<std::mutex> guard (lock);
                allReceived.push_back (byte);
            }
            if (byte == 0xF0)
                pending.clear();
            pending.push_back (byte);
            if (byte == 0xF7)
            {
                take (pending);
                pending.clear();
            }
        }
    }
}

void ScriptedSynthesizer::take (const Bytes& message)
{
    if (message.size() != 24 || message[0] != 0xF0 || message[1] != 0x41 || message[2] != 0x30 || message[3] != channel)
        return;
    const int number = message[4];
    PatchBytes sound;
    std::copy (message.begin() + 5, message.begin() + 23, sound.begin());

    Answer answer = Answer::exact;
    int given = 0;
    int leaving = -1;
    PatchBytes leavingSound{};
    {
        const std::lock_guard<std::mutex> guard (lock);
        dumps.push_back (number);
        if (const auto found = answers.find (number); found != answers.end())
            answer = found->second;
        if (answer == Answer::silent)
            return;
        if (answer == Answer::playedFirst && answersGiven[number]++ == 0)
            return;
        // WRITE and the memory's buttons store the sound played; selecting the memory follows.
        memories[static_cast<size_t> (number)] = sound;
        given = answersGiven[number]++;
        if (selected >= 0 && selected != number)
        {
            leaving = selected;
            leavingSound = memories[static_cast<size_t> (selected)];
        }
        selected = number;
    }
    std::this_thread::sleep_for (answerDelay);
    if (leaving >= 0)
        send (leaving, leavingSound);
    const bool damage = answer == Answer::damagedAlways || (answer == Answer::damagedOnce && given == 0);
    send (number, damage ? damaged (sound) : sound);
}

void ScriptedSynthesizer::send (int number, const PatchBytes& bytes)
{
    port.write (dumpOf (channel, number, bytes));
}
