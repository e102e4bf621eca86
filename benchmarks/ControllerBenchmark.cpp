// How fast a controller's move reaches the synthesizer, and what following
// it costs the panel: control changes written into a virtual MIDI port that
// is connected to "Qorv Control", parameter changes read from the
// synthesizer's port at the pace of a DIN link, with the panel on screen.
// Needs the kernel sequencer and a display, so it runs in the small virtual
// machine with a virtual X server of its own:
//
//   tools/alsa-vm/alsa-vm run --virmidi 2 --
//       tests/support/in-xvfb.sh 1600x1000 build/benchmarks/qorv_controller_benchmark
//
// For 100 and 1,000 control changes a second (16 faders in turn, each value
// new, for 2 s): the latency from a control change's write to its parameter
// change taken off the link (median and 99th percentile, of those that were
// not replaced by a newer value while waiting), how many reached the
// synthesizer, how often the panel painted and the message thread's
// processor time per second.

#include "LinkPeer.h"
#include "MessageLoop.h"
#include "RawMidiPort.h"
#include "editor/EditorModel.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr uint32_t virMidi00 = 0x1000;
constexpr uint32_t virMidi01 = 0x1100;
constexpr int faders = 16;

/** Lies over the whole panel without taking the mouse and counts how often any of it is painted. */
class PaintCounter : public juce::Component
{
public:
    PaintCounter() { setInterceptsMouseClicks (false, false); }
    void paint (juce::Graphics&) override { ++paints; }
    std::atomic<long> paints{0};
};

double threadCpuSeconds()
{
    rusage usage{};
    getrusage (RUSAGE_THREAD, &usage);
    return static_cast<double> (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double> (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile (std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort (values.begin(), values.end());
    return values[std::min (values.size() - 1, static_cast<size_t> (share * static_cast<double> (values.size())))];
}

void run (int changesPerSecond, RawMidiPort& controller, LinkPeer& peer, PaintCounter& counter)
{
    const int changes = 2 * changesPerSecond;
    const auto interval = std::chrono::microseconds (1000000 / changesPerSecond);
    std::map<std::pair<int, int>, Clock::time_point> writtenAt; // (parameter, value)
    std::atomic<bool> done{false};
    const size_t arrivedBefore = peer.arrivalCount();
    const long paintsBefore = counter.paints;
    const double cpuBefore = threadCpuSeconds();
    const auto start = Clock::now();

    std::thread writer (
        [&]
        {
            for (int i = 0; i < changes; ++i)
            {
                std::this_thread::sleep_until (start + i * interval);
                const int parameter = i % faders;
                const int value = (i / faders) % 127 + 1;
                writtenAt[{parameter, value}] = Clock::now();
                controller.write ({0xB0, static_cast<uint8_t> (102 + parameter), static_cast<uint8_t> (value)});
            }
            done = true;
        });
    while (!done)
        pumpMessagesUntil ([&] { return done.load(); }, 50);
    writer.join();
    pumpMessagesUntil ([] { return false; }, 300); // the link and the panel catch up
    const double seconds = std::chrono::duration<double> (Clock::now() - start).count();
    const double cpu = threadCpuSeconds() - cpuBefore;
    const long paints = counter.paints - paintsBefore;

    std::vector<double> latencies;
    const auto arrivals = peer.arrivals();
    for (size_t i = arrivedBefore; i < arrivals.size(); ++i)
    {
        const auto& m = arrivals[i].message;
        if (m.size() != 7)
            continue;
        const auto written = writtenAt.find ({m[4], m[5]});
        if (written != writtenAt.end())
            latencies.push_back (std::chrono::duration<double, std::milli> (arrivals[i].at - written->second).count());
    }
    std::printf ("%5d control changes a second: %zu of %d reached the synthesizer; latency median %.1f ms, "
                 "99th percentile %.1f ms; the panel painted %.0f times a second; the message thread worked "
                 "%.1f ms a second\n",
                 changesPerSecond,
                 latencies.size(),
                 changes,
                 percentile (latencies, 0.5),
                 percentile (latencies, 0.99),
                 static_cast<double> (paints) / seconds,
                 cpu * 1000.0 / seconds);
}
} // namespace

int main()
{
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI gui;
    {
        LinkPeer peer ("hw:0,0");
        RawMidiPort controller ("hw:0,1");
        EditorModel model;
        model.engine().openOutput (virMidi00);
        model.engine().addControlSource (virMidi01);

        MainComponent panel (model);
        PaintCounter counter;
        panel.addAndMakeVisible (counter);
        counter.setBounds (panel.getLocalBounds());
        juce::DocumentWindow window ("Qorv", juce::Colours::black, 0);
        window.setContentNonOwned (&panel, true);
        window.setVisible (true);
        pumpMessagesUntil ([] { return false; }, 500); // mapped and painted once
        if (!peer.isOpen() || !controller.isOpen() || model.engine().outputEndpoint == 0)
        {
            std::fprintf (stderr, "needs the small virtual machine's sequencer and virtual MIDI ports\n");
            return 1;
        }

        run (100, controller, peer, counter);
        run (1000, controller, peer, counter);
        window.clearContentComponent();
    }
    juce::DeletedAtShutdown::deleteAll();
    return 0;
}
