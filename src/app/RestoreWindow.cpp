#include "app/RestoreWindow.h"

#include "app/FileWork.h"
#include "files/FilePath.h"

#include "session/SynthMemory.h"
#include "ui/PanelText.h"

#include <algorithm>

namespace
{
using Clock = RestoreGuide::Clock;
using Phase = RestoreGuide::Phase;
using State = RestoreGuide::MemoryState;

enum Column
{
    memoryColumn = 1,
    patchColumn,
    stateColumn
};

const juce::Colour checkedGreen (0xFF5FC96B);
const juce::Colour differingOrange (0xFFFF9A3C);
const juce::Colour currentBand (0xFF2E5A88);

juce::String memoryName (int memory)
{
    return SynthMemory::name (memory);
}

/** "Factory.106" from a path. */
juce::String fileName (const std::string& path)
{
    return FileWork::shownPath (std::string (FilePath::fileName (path)));
}

juce::String differingNames (const std::vector<RestoreGuide::Difference>& differences)
{
    juce::StringArray names;
    for (const auto& difference : differences)
        names.add (difference.parameter);
    return names.joinIntoString (", ");
}
} // namespace

void RestoreComponent::WrappedText::paint (juce::Graphics& g)
{
    juce::AttributedString text;
    text.append (getText(), getFont(), findColour (juce::Label::textColourId));
    text.setWordWrap (juce::AttributedString::byWord);
    juce::TextLayout layout;
    layout.createLayout (text, static_cast<float> (getWidth()));
    layout.draw (g, getLocalBounds().toFloat());
}

RestoreComponent::RestoreComponent (const EditSession& editSession, MidiEngine& midiEngine, RestoreProgressStore& store)
    : session (editSession), engine (midiEngine), progressStore (store)
{
    libraryLabel.setFont (juce::Font (15.0f, juce::Font::bold));
    addAndMakeVisible (libraryLabel);

    addAndMakeVisible (startLabel);
    for (int memory = 0; memory < SynthMemory::count; ++memory)
        firstMemory.addItem (memoryName (memory), memory + 1);
    firstMemory.setSelectedId (1, juce::dontSendNotification);
    firstMemory.onChange = [this] { planChanged(); };
    addAndMakeVisible (firstMemory);
    onlySelected.onClick = [this] { planChanged(); };
    addAndMakeVisible (onlySelected);

    auto& header = table.getHeader();
    const int fixed = juce::TableHeaderComponent::notSortable | juce::TableHeaderComponent::notResizable;
    header.addColumn ("Memory", memoryColumn, 70, 70, 70, fixed);
    header.addColumn ("Patch", patchColumn, 230, 230, 230, fixed);
    header.addColumn ("State", stateColumn, 320, 320, 320, fixed);
    table.setModel (this);
    table.setMultipleSelectionEnabled (true);
    table.setRowHeight (20);
    addAndMakeVisible (table);

    instruction.setFont (juce::Font (18.0f, juce::Font::bold));
    addAndMakeVisible (instruction);
    note.setFont (juce::Font (14.0f));
    addAndMakeVisible (note);

    startButton.onClick = [this] { start(); };
    sendAgainButton.onClick = [this] { restoreGuide->sendAgain (Clock::now()); };
    skipButton.onClick = [this] { restoreGuide->skip (Clock::now()); };
    backButton.onClick = [this] { restoreGuide->back (Clock::now()); };
    stopButton.onClick = [this] { restoreGuide->stop(); };
    startOverButton.onClick = [this] { startOver(); };
    for (auto* button : {&startButton, &sendAgainButton, &skipButton, &backButton, &stopButton, &startOverButton})
        addAndMakeVisible (button);

    // While this window is open, the answers come here; MIDI IN gets them only while none is awaited.
    previousReceiver = engine.onPatchReceived;
    engine.onPatchReceived = [this] (const PatchModel& patch) { dumpReceived (patch); };

    takeUpProgress();
    shownLibraryRows = session.library().patches.size();
    setSize (660, 580);
    refresh();
    startTimer (250);
}

RestoreComponent::~RestoreComponent()
{
    stopTimer();
    engine.onPatchReceived = previousReceiver;
    table.setModel (nullptr);
}

void RestoreComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void RestoreComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    libraryLabel.setBounds (area.removeFromTop (24));
    area.removeFromTop (6);
    auto choices = area.removeFromTop (28);
    startLabel.setBounds (choices.removeFromLeft (100));
    firstMemory.setBounds (choices.removeFromLeft (80));
    choices.removeFromLeft (24);
    onlySelected.setBounds (choices.removeFromLeft (260));
    area.removeFromTop (8);

    auto buttons = area.removeFromBottom (30);
    const int gap = 8;
    const int width = (buttons.getWidth() - 5 * gap) / 6;
    for (auto* button : {&startButton, &sendAgainButton, &skipButton, &backButton, &stopButton, &startOverButton})
    {
        button->setBounds (buttons.removeFromLeft (width));
        buttons.removeFromLeft (gap);
    }
    area.removeFromBottom (10);
    note.setBounds (area.removeFromBottom (84));
    instruction.setBounds (area.removeFromBottom (54));
    area.removeFromBottom (8);
    table.setBounds (area);
}

//==============================================================================
// What the user and the synthesizer do

void RestoreComponent::start()
{
    if (restoreGuide == nullptr)
    {
        const auto rows = plannedRows();
        if (rows.empty())
            return;
        makeGuide (RestoreGuide::plan (session.library().patches, rows, firstMemory.getSelectedId() - 1));
        guideFile = session.currentFile();
        progressNote.clear();
        table.deselectAllRows();
        table.updateContent();
    }
    restoreGuide->start (Clock::now());
}

void RestoreComponent::startOver()
{
    restoreGuide.reset();
    progressStore.storeRestoreProgress (std::nullopt);
    progressNote.clear();
    table.deselectAllRows();
    table.updateContent();
    refresh();
}

void RestoreComponent::makeGuide (std::vector<RestoreGuide::Target> targets)
{
    RestoreGuide::Options options;
    options.answerTime = answerTime;
    restoreGuide = std::make_unique<RestoreGuide> (synthesizer, std::move (targets), options);
    restoreGuide->onChange = [this] (RestoreGuide::Event event) { guideChanged (event); };
}

void RestoreComponent::guideChanged (RestoreGuide::Event event)
{
    // Kept at every step, so that closing the window or quitting goes on from here.
    if (event != RestoreGuide::Event::unanswered && !guideFile.empty())
    {
        if (restoreGuide->phase() == Phase::finished)
            progressStore.storeRestoreProgress (std::nullopt);
        else
            progressStore.storeRestoreProgress (RestoreProgress::of (*restoreGuide, guideFile));
    }
    table.repaint();
    if (restoreGuide->current() != nullptr)
        table.scrollToEnsureRowIsOnscreen (static_cast<int> (restoreGuide->currentIndex()));
    refresh();
}

void RestoreComponent::dumpReceived (const PatchModel& patch)
{
    if (restoreGuide == nullptr || restoreGuide->phase() != Phase::waiting)
    {
        if (previousReceiver)
            previousReceiver (patch);
        return;
    }
    if (const auto memory = SynthMemory::parse (patch.name))
        restoreGuide->dumpReceived (patch, *memory, Clock::now());
}

void RestoreComponent::takeUpProgress()
{
    const auto kept = progressStore.loadRestoreProgress();
    if (!kept)
        return;
    const auto stoppedAt = memoryName (kept->firstMemory + static_cast<int> (kept->next));
    const auto keptName = fileName (kept->libraryFile);
    if (kept->libraryFile != session.currentFile())
    {
        progressNote = "The write of " + keptName + " stopped at " + stoppedAt +
                       ": open that library to go on with it. Start here begins anew.";
        return;
    }
    const auto& patches = session.library().patches;
    if (!kept->fits (patches))
    {
        progressNote = keptName + " has changed since its write stopped at " + stoppedAt + ": Start begins anew.";
        return;
    }
    makeGuide (RestoreGuide::plan (patches, kept->rows, kept->firstMemory));
    restoreGuide->resume (kept->states, kept->next);
    guideFile = kept->libraryFile;
}

void RestoreComponent::timerCallback()
{
    if (restoreGuide != nullptr)
        restoreGuide->tick (Clock::now());
    else if (session.library().patches.size() != shownLibraryRows)
    {
        shownLibraryRows = session.library().patches.size();
        table.updateContent();
    }
    // The MIDI menu may have changed the devices or the channel meanwhile.
    refresh();
}

//==============================================================================
// The plan before the start

std::vector<int> RestoreComponent::plannedRows() const
{
    const int libraryRows = static_cast<int> (session.library().patches.size());
    std::vector<int> rows;
    const auto selected = table.getSelectedRows();
    if (onlySelected.getToggleState() && !selected.isEmpty())
    {
        for (int i = 0; i < selected.size(); ++i)
            if (selected[i] < libraryRows)
                rows.push_back (selected[i]);
        std::sort (rows.begin(), rows.end());
    }
    else
    {
        for (int row = 0; row < libraryRows; ++row)
            rows.push_back (row);
    }
    const size_t room = static_cast<size_t> (SynthMemory::count - (firstMemory.getSelectedId() - 1));
    if (rows.size() > room)
        rows.resize (room);
    return rows;
}

int RestoreComponent::plannedMemory (int row) const
{
    const auto rows = plannedRows();
    const auto found = std::lower_bound (rows.begin(), rows.end(), row);
    if (found == rows.end() || *found != row)
        return -1;
    return firstMemory.getSelectedId() - 1 + static_cast<int> (found - rows.begin());
}

bool RestoreComponent::midiReady() const
{
    return engine.isInputOpen() && engine.isOutputOpen() && !RestoreGuide::whyNotStart (synthesizer);
}

//==============================================================================
// The list

int RestoreComponent::getNumRows()
{
    if (restoreGuide != nullptr)
        return static_cast<int> (restoreGuide->entries().size());
    return static_cast<int> (session.library().patches.size());
}

void RestoreComponent::paintRowBackground (juce::Graphics& g, int row, int, int, bool selected)
{
    const bool isCurrent = restoreGuide != nullptr && restoreGuide->phase() == Phase::waiting &&
                           static_cast<size_t> (row) == restoreGuide->currentIndex();
    if (isCurrent)
        g.fillAll (currentBand);
    else if (selected && restoreGuide == nullptr)
        g.fillAll (getLookAndFeel().findColour (juce::TextEditor::highlightColourId));
    else if (row % 2 == 1)
        g.fillAll (juce::Colours::white.withAlpha (0.04f));
}

void RestoreComponent::paintCell (juce::Graphics& g, int row, int column, int width, int height, bool)
{
    juce::String text;
    juce::Colour colour = getLookAndFeel().findColour (juce::ListBox::textColourId);
    if (restoreGuide != nullptr)
    {
        const auto& entries = restoreGuide->entries();
        if (row < 0 || static_cast<size_t> (row) >= entries.size())
            return;
        const auto& entry = entries[static_cast<size_t> (row)];
        const bool isCurrent =
            restoreGuide->phase() == Phase::waiting && static_cast<size_t> (row) == restoreGuide->currentIndex();
        switch (column)
        {
            case memoryColumn:
                text = memoryName (entry.target.memory);
                break;
            case patchColumn:
                text = toDisplayString (entry.target.patch.name);
                break;
            default:
                switch (entry.state)
                {
                    case State::checked:
                        text = "written and checked";
                        colour = checkedGreen;
                        break;
                    case State::skipped:
                        text = "skipped";
                        colour = colour.withAlpha (0.6f);
                        break;
                    case State::differing:
                        text = "differs: " + differingNames (entry.differences);
                        colour = differingOrange;
                        break;
                    case State::notWritten:
                        if (isCurrent)
                            text =
                                restoreGuide->isUnanswered() ? "sent; no answer yet" : "sent; waiting for its answer";
                        break;
                }
                break;
        }
    }
    else
    {
        const auto& patches = session.library().patches;
        if (row < 0 || static_cast<size_t> (row) >= patches.size())
            return;
        if (column == memoryColumn)
        {
            const int memory = plannedMemory (row);
            text = memory >= 0 ? memoryName (memory) : juce::String();
        }
        else if (column == patchColumn)
        {
            text = toDisplayString (patches[static_cast<size_t> (row)].name);
        }
    }
    g.setColour (colour);
    g.setFont (juce::Font (14.0f));
    g.drawText (text, 6, 0, width - 8, height, juce::Justification::centredLeft, true);
}

void RestoreComponent::selectedRowsChanged (int)
{
    planChanged();
}

void RestoreComponent::planChanged()
{
    refresh();
    table.repaint();
}

//==============================================================================
// Texts and buttons

juce::String RestoreComponent::libraryText() const
{
    const auto& file = restoreGuide != nullptr ? guideFile : session.currentFile();
    const auto name = file.empty() ? juce::String (EditSession::newLibraryName) : fileName (file);
    if (restoreGuide == nullptr)
    {
        const auto count = session.library().patches.size();
        return name + ": " + juce::String (count) + (count == 1 ? " patch" : " patches");
    }
    const auto& entries = restoreGuide->entries();
    if (entries.empty())
        return name;
    return name + ": " + juce::String (entries.size()) + (entries.size() == 1 ? " patch into " : " patches into ") +
           memoryName (entries.front().target.memory) +
           (entries.size() > 1 ? " to " + memoryName (entries.back().target.memory) : juce::String());
}

juce::String RestoreComponent::setUpNote() const
{
    juce::StringArray lines;
    const auto rows = plannedRows();
    const int first = firstMemory.getSelectedId() - 1;
    const auto selected = table.getSelectedRows().size();
    const size_t wanted = onlySelected.getToggleState() && selected > 0 ? static_cast<size_t> (selected)
                                                                        : session.library().patches.size();
    if (rows.empty())
        lines.add ("The library holds no patch to write.");
    else if (rows.size() < wanted)
        lines.add ("Only " + juce::String (rows.size()) + " of the " + juce::String (wanted) + " patches fit from " +
                   memoryName (first) + " to B88.");
    else
        lines.add (juce::String (rows.size()) + (rows.size() == 1 ? " patch goes" : " patches go") + " into " +
                   memoryName (first) +
                   (rows.size() > 1 ? " to " + memoryName (first + static_cast<int> (rows.size()) - 1) : "") +
                   ". Start sends the first one; select rows to write only those.");
    if (const auto why = RestoreGuide::whyNotStart (synthesizer))
        lines.add (*why);
    else if (!midiReady())
        lines.add ("Choose the synthesizer as MIDI input and output in MIDI > Device first.");
    if (session.currentFile().empty())
        lines.add ("Save the library to a file, and Qorv keeps your place should it quit.");
    if (progressNote.isNotEmpty())
        lines.add (progressNote);
    return lines.joinIntoString ("\n");
}

juce::String RestoreComponent::guideNote() const
{
    const auto& guide = *restoreGuide;
    const auto* entry = guide.current();
    if (const auto why = RestoreGuide::whyNotStart (synthesizer))
        return *why;
    if (!midiReady())
        return "The MIDI input or output is not open: choose the synthesizer in MIDI > Device.";
    if (guide.isUnanswered())
        return guide.noAnswerAdvice (engine.midiChannel);
    const auto memory = memoryName (entry->target.memory);
    if (entry->state == State::differing)
        return memory + " came back different: " + RestoreGuide::differenceText (entry->differences) +
               ".\nPress Send Again, then write and select " + memory + " once more; or Skip.";
    return (guide.sendsOfCurrent() > 1 ? "Sent again: \"" : "Sent \"") + toDisplayString (entry->target.patch.name) +
           "\" as " + memory + ". Qorv checks the memory as soon as you select it.";
}

void RestoreComponent::refresh()
{
    const bool ready = midiReady();
    const auto setText = [] (juce::Label& label, const juce::String& text)
    { label.setText (text, juce::dontSendNotification); };

    setText (libraryLabel, libraryText());
    const auto selected = table.getSelectedRows().size();
    onlySelected.setButtonText ("Only the selected rows" +
                                (selected > 0 ? " (" + juce::String (selected) + ")" : juce::String()));
    firstMemory.setEnabled (restoreGuide == nullptr);
    onlySelected.setEnabled (restoreGuide == nullptr);

    if (restoreGuide == nullptr)
    {
        setText (instruction, RestoreGuide::setUpAdvice);
        setText (note, setUpNote());
        startButton.setButtonText ("Start");
        startButton.setEnabled (ready && !plannedRows().empty());
        for (auto* button : {&sendAgainButton, &skipButton, &backButton, &stopButton, &startOverButton})
            button->setEnabled (false);
        return;
    }

    const auto& guide = *restoreGuide;
    const auto phase = guide.phase();
    const juce::String summary = guide.summaryText();
    const auto* entry = guide.current();
    const auto next = entry != nullptr ? memoryName (entry->target.memory) : juce::String();
    switch (phase)
    {
        case Phase::setUp:
            setText (instruction, RestoreGuide::setUpAdvice);
            setText (note, "Stopped at " + next + " before: " + summary + ".\nContinue goes on from " + next + ".");
            break;
        case Phase::waiting:
            setText (instruction, guide.instruction());
            setText (note, guideNote());
            break;
        case Phase::stopped:
            setText (instruction, "Stopped at " + next + ".");
            setText (note, summary + ".\nContinue goes on from " + next + ".");
            break;
        case Phase::finished:
            setText (instruction, "Done.");
            setText (note, summary + ".");
            break;
    }
    const bool waiting = phase == Phase::waiting;
    const bool canContinue = phase == Phase::setUp || phase == Phase::stopped;
    if (const auto why = RestoreGuide::whyNotStart (synthesizer); why && canContinue)
        setText (note, note.getText() + "\n" + *why);
    startButton.setButtonText (canContinue ? "Continue" : "Start");
    startButton.setEnabled (ready && canContinue);
    sendAgainButton.setEnabled (waiting && ready);
    skipButton.setEnabled (waiting);
    backButton.setEnabled (guide.canGoBack() && ready);
    stopButton.setEnabled (waiting);
    startOverButton.setEnabled (!waiting);
}

//==============================================================================
RestoreWindow::RestoreWindow (const EditSession& session, MidiEngine& engine, RestoreProgressStore& store)
    : DocumentWindow ("Write Library to Synthesizer",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton,
                      false),
      component (session, engine, store)
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
}

void RestoreWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
