#pragma once

#include "session/EditSession.h"
#include "ui/BitmapControls.h"
#include "ui/PanelSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The MIDI IN section: a patch sent from the synthesizer waits here, its
    name editable, until SAVE or IGNORE; with SAVE ALL lit every received
    patch goes straight into the library. */
class MidiInSection : public PanelSection
{
public:
    explicit MidiInSection (EditSession& sessionToEdit);
    ~MidiInSection() override = default;

    /** The name shown and the Idle or Pending look: lamp, buttons and whether the name can be typed over. */
    void showReceived();
    void showSaveAll();

    juce::Label midiInLabel;
    BitmapButton midiSaveBtn{PanelImages::smallOrangeButton()};
    BitmapButton midiIgnoreBtn{PanelImages::smallGreyButton()};
    BitmapButton saveAllBtn{PanelImages::greyButton()};
    BitmapIndicator saveAllInd{PanelImages::lamp()};
    BitmapIndicator patchReceivedInd{PanelImages::lamp()};

private:
    EditSession& session;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiInSection)
};
