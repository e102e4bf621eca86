#include "app/BreedWindow.h"

#include "explore/SeededRandom.h"
#include "ui/PanelText.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace
{
const juce::Colour tileBackground (0xFF1A0203);
const juce::Colour tileChosen (0xFF3A0608);
const juce::Colour barTrack (0xFF3A0A0C);

/** A colour for each of the panel's sections, so a tile's bars read by section. */
juce::Colour sectionColour (SoundControls::Section section)
{
    static const juce::Colour colours[SoundControls::sectionCount] = {juce::Colour (0xFFE8C547),
                                                                      juce::Colour (0xFFEA6A2A),
                                                                      juce::Colour (0xFFB0B0B0),
                                                                      juce::Colour (0xFFEA0011),
                                                                      juce::Colour (0xFF4FB0E8),
                                                                      juce::Colour (0xFF6FD06F),
                                                                      juce::Colour (0xFFC080F0)};
    return colours[static_cast<int> (section)];
}

/** "C4" for 60. */
juce::String noteName (int note)
{
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return juce::String (names[note % 12]) + juce::String (note / 12 - 1);
}

/** Range, waveforms, chorus and switches in a few words: "8' Sq Saw Ch I". */
juce::String switchesText (const SoundControls::Bytes& sound)
{
    juce::StringArray words;
    for (const auto control : {PanelControl::range, PanelControl::chorus, PanelControl::hpf})
    {
        const auto shown = PanelControls::shown (control, sound);
        words.add (control == PanelControl::range ? juce::String (shown.value)
                                                  : juce::String (shown.name) + " " + juce::String (shown.value));
    }
    if (PanelControls::position (PanelControl::square, sound) == 1)
        words.add ("Sq");
    if (PanelControls::position (PanelControl::saw, sound) == 1)
        words.add ("Saw");
    return words.joinIntoString (" ");
}

void setUpSlider (juce::Slider& slider, double low, double high, double value)
{
    slider.setSliderStyle (juce::Slider::IncDecButtons);
    slider.setTextBoxStyle (juce::Slider::TextBoxLeft, false, 56, 24);
    slider.setRange (low, high, 1.0);
    slider.setValue (value, juce::dontSendNotification);
}
} // namespace

//==============================================================================
CandidateTile::CandidateTile()
{
    parentTick.onClick = [this]
    {
        if (onTicked)
            onTicked (parentTick.getToggleState());
    };
    addAndMakeVisible (parentTick);
}

void CandidateTile::show (int candidateNumber, const SoundControls::Bytes& candidateSound, bool ticked, bool isChosen)
{
    number = candidateNumber;
    sound = candidateSound;
    chosen = isChosen;
    parentTick.setToggleState (ticked, juce::dontSendNotification);
    parentTick.setEnabled (true);
    repaint();
}

void CandidateTile::clear()
{
    number = 0;
    chosen = false;
    parentTick.setToggleState (false, juce::dontSendNotification);
    parentTick.setEnabled (false);
    repaint();
}

void CandidateTile::resized()
{
    parentTick.setBounds (getWidth() - 76, 2, 74, 22);
}

void CandidateTile::paint (juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();
    g.setColour (chosen ? tileChosen : tileBackground);
    g.fillRoundedRectangle (area, 4.0f);
    if (chosen)
    {
        g.setColour (PanelText::displayRed);
        g.drawRoundedRectangle (area.reduced (1.0f), 4.0f, 2.0f);
    }
    if (number == 0)
        return;

    g.setColour (PanelText::displayRed);
    g.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 16.0f, juce::Font::bold));
    g.drawText (juce::String (number), 8, 4, 40, 20, juce::Justification::centredLeft);

    // The faders, left to right as on the panel, each a bar of its section's colour.
    const auto bars = area.reduced (8.0f).withTrimmedTop (24.0f).withTrimmedBottom (18.0f);
    const float step = bars.getWidth() / 16.0f;
    int column = 0;
    for (const auto& control : SoundControls::all())
    {
        if (!control.isFader)
            continue;
        const float x = bars.getX() + step * static_cast<float> (column++);
        const float level = static_cast<float> (PanelControls::position (control.control, sound)) / 127.0f;
        g.setColour (barTrack);
        g.fillRect (x + 1.0f, bars.getY(), step - 2.0f, bars.getHeight());
        g.setColour (sectionColour (control.section));
        const float height = bars.getHeight() * juce::jlimit (0.0f, 1.0f, level);
        g.fillRect (x + 1.0f, bars.getBottom() - height, step - 2.0f, height);
    }

    g.setColour (PanelText::displayRed);
    g.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 11.0f, juce::Font::plain));
    g.drawText (switchesText (sound), 8, getHeight() - 18, getWidth() - 16, 16, juce::Justification::centredLeft, true);
}

void CandidateTile::mouseUp (const juce::MouseEvent& event)
{
    if (number > 0 && getLocalBounds().contains (event.getPosition()) && onChosen)
        onChosen();
}

//==============================================================================
BreedComponent::BreedComponent (EditSession& sessionToEdit,
                                MidiEngine& midiEngine,
                                std::function<std::vector<PatchModel>()> selection,
                                std::function<void (const juce::String&, const juce::String&)> status)
    : freshSeed ([] { return SeededRandom::freshSeed(); }), session (sessionToEdit), engine (midiEngine),
      selectedPatches (std::move (selection)), showStatus (std::move (status))
{
    parentsLabel.setFont (juce::Font (15.0f, juce::Font::bold));
    addAndMakeVisible (parentsLabel);
    breedButton.onClick = [this] { breedFromPanel(); };
    addAndMakeVisible (breedButton);

    addAndMakeVisible (amountLabel);
    for (const auto amount : {Breeding::Amount::subtle, Breeding::Amount::moderate, Breeding::Amount::wild})
        amountBox.addItem (Breeding::amountName (amount), static_cast<int> (amount) + 1);
    amountBox.setSelectedId (1, juce::dontSendNotification);
    addAndMakeVisible (amountBox);
    wholeSections.setToggleState (true, juce::dontSendNotification);
    addAndMakeVisible (wholeSections);
    addAndMakeVisible (lockLabel);
    for (size_t i = 0; i < lockButtons.size(); ++i)
    {
        lockButtons[i].setButtonText (SoundControls::sectionName (static_cast<SoundControls::Section> (i)));
        lockButtons[i].setTooltip ("Every candidate keeps the first parent's section");
        addAndMakeVisible (lockButtons[i]);
    }

    generationLabel.setFont (juce::Font (15.0f, juce::Font::bold));
    addAndMakeVisible (generationLabel);
    addAndMakeVisible (seedLabel);
    seedEditor.setInputRestrictions (20, "0123456789");
    seedEditor.setTooltip ("Type a seed and press Return to breed these parents with it again");
    seedEditor.onReturnKey = [this] { breedWithTypedSeed(); };
    addAndMakeVisible (seedEditor);
    backButton.onClick = [this] { back(); };
    forwardButton.onClick = [this] { forward(); };
    addAndMakeVisible (backButton);
    addAndMakeVisible (forwardButton);

    for (size_t i = 0; i < tiles.size(); ++i)
    {
        tiles[i].onChosen = [this, i] { audition (i); };
        tiles[i].onTicked = [this, i] (bool ticked) { setTicked (i, ticked); };
        addAndMakeVisible (tiles[i]);
    }

    addAndMakeVisible (playNote);
    setUpSlider (noteSlider, 24, 96, 60);
    noteSlider.textFromValueFunction = [] (double value) { return noteName (juce::roundToInt (value)); };
    noteSlider.updateText();
    setUpSlider (velocitySlider, 1, 127, 100);
    setUpSlider (lengthSlider, 50, 4000, 600);
    lengthSlider.setTextValueSuffix (" ms");
    lengthSlider.setTextBoxStyle (juce::Slider::TextBoxLeft, false, 76, 24);
    for (auto* item : std::initializer_list<juce::Component*>{
             &noteLabel, &noteSlider, &velocityLabel, &velocitySlider, &lengthLabel, &lengthSlider})
        addAndMakeVisible (item);

    keepButton.onClick = [this] { keep(); };
    nextButton.onClick = [this] { nextGeneration(); };
    addAndMakeVisible (keepButton);
    addAndMakeVisible (nextButton);

    setSize (760, 670);
    refresh();
}

BreedComponent::~BreedComponent()
{
    stopNote();
}

void BreedComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void BreedComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    auto top = area.removeFromTop (28);
    breedButton.setBounds (top.removeFromRight (230));
    parentsLabel.setBounds (top);
    area.removeFromTop (8);

    auto optionsRow = area.removeFromTop (26);
    amountLabel.setBounds (optionsRow.removeFromLeft (60));
    amountBox.setBounds (optionsRow.removeFromLeft (110));
    optionsRow.removeFromLeft (12);
    wholeSections.setBounds (optionsRow.removeFromLeft (140));
    area.removeFromTop (4);
    auto lockRow = area.removeFromTop (26);
    lockLabel.setBounds (lockRow.removeFromLeft (60));
    const int lockWidth = std::min (96, lockRow.getWidth() / static_cast<int> (lockButtons.size()));
    for (auto& button : lockButtons)
        button.setBounds (lockRow.removeFromLeft (lockWidth));
    area.removeFromTop (8);

    auto generationRow = area.removeFromTop (28);
    forwardButton.setBounds (generationRow.removeFromRight (90));
    generationRow.removeFromRight (8);
    backButton.setBounds (generationRow.removeFromRight (90));
    generationRow.removeFromRight (16);
    seedEditor.setBounds (generationRow.removeFromRight (130));
    seedLabel.setBounds (generationRow.removeFromRight (44));
    generationLabel.setBounds (generationRow);
    area.removeFromTop (10);

    auto buttons = area.removeFromBottom (30);
    nextButton.setBounds (buttons.removeFromRight (170));
    buttons.removeFromRight (8);
    keepButton.setBounds (buttons.removeFromRight (100));
    area.removeFromBottom (8);
    auto noteRow = area.removeFromBottom (28);
    playNote.setBounds (noteRow.removeFromLeft (110));
    noteLabel.setBounds (noteRow.removeFromLeft (44));
    noteSlider.setBounds (noteRow.removeFromLeft (120));
    noteRow.removeFromLeft (12);
    velocityLabel.setBounds (noteRow.removeFromLeft (64));
    velocitySlider.setBounds (noteRow.removeFromLeft (120));
    noteRow.removeFromLeft (12);
    lengthLabel.setBounds (noteRow.removeFromLeft (52));
    lengthSlider.setBounds (noteRow.removeFromLeft (140));
    area.removeFromBottom (10);

    // Four across, three down.
    const int gap = 8;
    const int width = (area.getWidth() - 3 * gap) / 4;
    const int height = (area.getHeight() - 2 * gap) / 3;
    for (size_t i = 0; i < tiles.size(); ++i)
    {
        const int column = static_cast<int> (i % 4);
        const int row = static_cast<int> (i / 4);
        tiles[i].setBounds (area.getX() + column * (width + gap), area.getY() + row * (height + gap), width, height);
    }
}

Breeding::Options BreedComponent::options() const
{
    Breeding::Options chosen;
    chosen.amount = static_cast<Breeding::Amount> (std::max (0, amountBox.getSelectedId() - 1));
    chosen.wholeSections = wholeSections.getToggleState();
    for (size_t i = 0; i < lockButtons.size(); ++i)
        chosen.locked[i] = lockButtons[i].getToggleState();
    return chosen;
}

//==============================================================================
// What the user does

void BreedComponent::breedFromPanel()
{
    std::vector<PatchModel> parents{session.activePatch()};
    if (selectedPatches)
        for (auto& patch : selectedPatches())
            if (parents.size() < Breeding::maxParents && !patch.sameSound (parents.front()))
                parents.push_back (std::move (patch));
    breeding.breed (std::move (parents), options(), freshSeed());
    refresh();
}

void BreedComponent::audition (size_t index)
{
    const auto* generation = breeding.shown();
    if (generation == nullptr || index >= generation->candidates.size())
        return;
    breeding.choose (index);
    session.trySound (generation->candidates[index]);
    if (playNote.getToggleState())
        startNote();
    say ("Candidate",
         juce::String (static_cast<int> (index) + 1) + " of G" +
             juce::String (static_cast<int> (breeding.shownNumber())));
    refresh();
}

void BreedComponent::setTicked (size_t index, bool ticked)
{
    if (ticked && !breeding.setTicked (index, true))
        say ("Parents", "three at most");
    else if (!ticked)
        breeding.setTicked (index, false);
    refresh();
}

void BreedComponent::nextGeneration()
{
    if (breeding.nextGeneration (options(), freshSeed()))
        say ("Generation", juce::String (static_cast<int> (breeding.shownNumber())));
    refresh();
}

void BreedComponent::breedWithTypedSeed()
{
    const auto text = seedEditor.getText().trim();
    if (text.isEmpty() || breeding.shown() == nullptr)
        return;
    // Twenty digits may pass what a seed holds: such a seed is refused, never wrapped.
    const auto digits = text.toStdString();
    errno = 0;
    const unsigned long long seed = std::strtoull (digits.c_str(), nullptr, 10);
    if (errno == ERANGE)
    {
        say ("Seed", "too large");
        refresh();
        return;
    }
    breeding.again (options(), static_cast<uint64_t> (seed));
    say ("Seed", text);
    refresh();
}

void BreedComponent::back()
{
    breeding.back();
    refresh();
}

void BreedComponent::forward()
{
    breeding.forward();
    refresh();
}

void BreedComponent::keep()
{
    const auto* generation = breeding.shown();
    if (generation == nullptr || !generation->chosen)
        return;
    PatchModel patch = breeding.candidate (*generation->chosen);
    patch.name = Breeding::keptName (session.library(), generation->line);
    say ("Kept", toDisplayString (session.addPatch (std::move (patch))));
}

void BreedComponent::say (const juce::String& name, const juce::String& value)
{
    if (showStatus)
        showStatus (name, value);
}

//==============================================================================
// The note a candidate is heard with

void BreedComponent::startNote()
{
    stopNote();
    soundingNote = juce::roundToInt (noteSlider.getValue());
    // After the dump: notes wait behind a patch dump still on its way.
    engine.sendNoteOn (noteChannel, soundingNote, juce::roundToInt (velocitySlider.getValue()));
    startTimer (juce::roundToInt (lengthSlider.getValue()));
}

void BreedComponent::stopNote()
{
    stopTimer();
    if (soundingNote < 0)
        return;
    engine.sendNoteOff (noteChannel, soundingNote, 0);
    soundingNote = -1;
}

void BreedComponent::timerCallback()
{
    stopNote();
}

//==============================================================================
void BreedComponent::refresh()
{
    const auto* generation = breeding.shown();
    for (size_t i = 0; i < tiles.size(); ++i)
    {
        if (generation != nullptr && i < generation->candidates.size())
            tiles[i].show (static_cast<int> (i) + 1,
                           generation->candidates[i],
                           breeding.isTicked (i),
                           generation->chosen && *generation->chosen == i);
        else
            tiles[i].clear();
    }
    if (generation == nullptr)
    {
        parentsLabel.setText ("No parents yet", juce::dontSendNotification);
        generationLabel.setText ({}, juce::dontSendNotification);
        seedEditor.setText ({}, false);
    }
    else
    {
        juce::String parents;
        if (generation->bredFrom == 0)
        {
            juce::StringArray names;
            for (const auto& parent : generation->parents)
                names.add (toDisplayString (parent.name));
            parents = "Parents: " + names.joinIntoString (", ");
        }
        else
        {
            juce::StringArray numbers;
            for (const auto index : generation->parentCandidates)
                numbers.add (juce::String (static_cast<int> (index) + 1));
            parents = (numbers.size() == 1 ? "Parent: candidate " : "Parents: candidates ") +
                      numbers.joinIntoString (", ") + " of generation " +
                      juce::String (static_cast<int> (generation->bredFrom));
        }
        parentsLabel.setText (parents, juce::dontSendNotification);
        generationLabel.setText ("Generation " + juce::String (static_cast<int> (breeding.shownNumber())) + " of " +
                                     juce::String (static_cast<int> (breeding.count())) + ", " +
                                     Breeding::amountName (generation->options.amount),
                                 juce::dontSendNotification);
        seedEditor.setText (juce::String (std::to_string (generation->seed)), false);
    }
    backButton.setEnabled (breeding.canGoBack());
    forwardButton.setEnabled (breeding.canGoForward());
    keepButton.setEnabled (generation != nullptr && generation->chosen.has_value());
    nextButton.setEnabled (generation != nullptr && (!generation->ticked.empty() || generation->chosen));
    nextButton.setButtonText (generation != nullptr && generation->ticked.empty() && generation->chosen
                                  ? "Next Generation from " + juce::String (static_cast<int> (*generation->chosen) + 1)
                                  : "Next Generation");
}

//==============================================================================
BreedWindow::BreedWindow (EditSession& session,
                          MidiEngine& engine,
                          std::function<std::vector<PatchModel>()> selection,
                          std::function<void (const juce::String&, const juce::String&)> status)
    : DocumentWindow ("Breed",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton,
                      false),
      component (session, engine, std::move (selection), std::move (status))
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
}

void BreedWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
