#include "cli/Help.h"

namespace QorvCli
{
// The texts hold ")\"" (as in " (1)"), so their raw strings end with ")help\"".
const char* const programHelp = R"help(Usage: qorv [FILE...]
       qorv COMMAND [OPTION...] [ARGUMENT...]

Without a command, Qorv opens its window (with the .106, .syx and .jep files
given). The commands work without the window or a display:

  list FILE...                      the patches in .106, .syx and .jep files
  convert INPUT... -o OUTPUT        patch files into one library, .syx file or folder
  ports                             the MIDI inputs and outputs
  send FILE --to PORT               one patch to the synthesizer
  capture --from PORT -o LIB.106    record the patches the synthesizer sends
  monitor --from PORT               show what the synthesizer sends
  control --to PORT                 turn controllers' control changes into
                                    the synthesizer's parameter changes
  restore LIB.106 --to P --from P   write a library into the synthesizer's memories
  morph A B [C D] --at X[,Y]        a blend of two to four patches
  breed PARENT... -o OUT            new patches bred from one to three parents
  similar LIBRARY NAME              the patches that sound nearest to one
  duplicates LIBRARY                the patches that sound the same or nearly
  record LIB.106 --to P --from PCM  record a preview of each patch from the
                                    synthesizer's audio output
  previews LIB.106 --verify|--prune check or tidy a library's previews
  voicecheck --to PORT --from PCM   check the health of the synthesizer's voices

  qorv COMMAND --help               a command's options
  qorv --version                    the version

Exit status: 0 when the work is done, 1 when it failed, 2 when the command
line is wrong. To open a file named like a command in the window, write ./NAME.
)help";

namespace
{
    struct CommandHelp
    {
        const char* command;
        const char* text;
    };

    const CommandHelp helps[] = {
        {"list", R"help(Usage: qorv list [--params] [--json] FILE...

Lists the patches in .106 libraries, .syx files (one dump or many) and .jep
presets, numbered from 1 in each file and named as the window's import names
them: a library's as stored; the one dump of a .syx file after the file
("Strings.syx": "Strings"); several dumps after the file and the patch number
("Bank A11" to "Bank B88") or, for manual dumps, their place in the file
("Bank 3"); a preset after its file. Bytes are shown as read; values a patch
cannot hold are counted after the name.

  --params   every parameter as the panel names it, one line per section
             (VCF Freq 64, Range 8', Chorus II, HPF 2; a level above 127 is marked)
  --json     one JSON array with an object per patch: "file", "index", "name",
             "data" (the 18 patch bytes as numbers) and, with --params,
             "params" (each parameter's name to its value)
)help"},
        {"convert", R"help(Usage: qorv convert INPUT... -o OUTPUT [--bank] [--channel N]

Reads the patches of every INPUT (.106, .syx, .jep; named as qorv list names
them) and writes one OUTPUT, chosen by its name:

  NAME.106          a library. The patches are added to the library the file
                    holds (a new one when there is no file), each under a name
                    of its own: a name already there gets " (1)", " (2)" ...
  NAME.syx          one patch as one dump; more than one patch is an error
  NAME.syx --bank   every patch, one dump after another
  FOLDER            one .syx file per patch, named after the patch and made a
                    safe file name as Export All names them; an existing
                    folder, or a name ending in "/" (made when missing)

The patches go in the library's name order. Values a patch cannot hold are
corrected on the way in, and how many is said. An INPUT that cannot be read is
named and skipped, the rest converted, and the status is 1. A file is written
only as OUTPUT, and an OUTPUT that exists is replaced only by a complete new
file; a .106 there that is not a library is left alone.

  -o, --output OUTPUT   where the patches go
  --bank                every patch into one .syx file
  --channel N           the MIDI channel (1-16) of the dumps written; 1 if not given
)help"},
        {"ports", R"help(Usage: qorv ports [--audio]

Lists the MIDI inputs and outputs of the ALSA sequencer: each one's address
(client:port) and its name as the MIDI menu shows it. Either may name a PORT
for send, capture, monitor, control, restore and record. Without an ALSA
sequencer it says so, and the status is 1.

  --audio   the sound cards' inputs instead, by the ALSA id qorv record
            --from takes (hw:CARD=Loopback,DEV=1, default, pipewire), each
            with its description
)help"},
        {"send", R"help(Usage: qorv send FILE --to PORT [--patch NAME|INDEX] [--channel N]

Sends one patch of FILE (.106, .syx or .jep) to the synthesizer as a patch
dump, at the pace of a MIDI cable, as the window sends the patch it edits.

  --to PORT            the output: its name as qorv ports prints it (the start
                       of a name that no other port's name starts with will
                       do) or its client:port
  --patch NAME|INDEX   the patch of that name, else the one of that number in
                       qorv list; needed when FILE holds more than one patch
  --channel N          the MIDI channel (1-16) the synthesizer listens on; 1 if
                       not given
)help"},
        {"capture", R"help(Usage: qorv capture --from PORT -o LIBRARY.106 [--count N] [--timeout SECONDS]
                    [--channel N]

Records the patch dumps and manual dumps the synthesizer sends into a library,
as the window does with SAVE ALL: a patch under its number (A11 to B88), a
manual dump as "Manual"; a name the library holds with another sound gets
" (1)", " (2)" ... A dump this capture has had already, in name and data, is
passed over (the synthesizer sends the patch it leaves as well as the one it
enters); one the library held before is counted but not added twice. Each new
patch is told on a line of its own: "37/128 A45". To back up the synthesizer,
step through its 128 memories while this runs.

It stops after N patches, once SECONDS pass without a new one, or on Ctrl+C
(or SIGTERM), and then always saves what it has: the patches are added to
LIBRARY.106 (made when missing) and the file is replaced only by a complete
new one. A file there that is not a library is never touched. The status is 1
when no patch came.

  --from PORT               the input, as for qorv send's --to
  -o, --output LIBRARY.106  the library the patches go into
  --count N                 stop after N patches; 128 if not given
  --timeout SECONDS         stop once SECONDS pass without a new patch
  --channel N               the MIDI channel (1-16) the synthesizer sends on; 1
                            if not given
)help"},
        {"monitor", R"help(Usage: qorv monitor --from PORT

Prints each message from the input as it comes, until Ctrl+C: a Juno-106 patch
dump with its number and every parameter, a manual dump the same way, a
parameter change as "VCF Freq = 32", and any other MIDI as its bytes in hex.
Juno-106 messages are decoded on every channel.

  --from PORT   the input, as for qorv send's --to
)help"},
        {"control", R"help(Usage: qorv control --to PORT [--from PORT]... [--listen PORT]
                    [--patch FILE [--pick NAME|INDEX]] [--channel N] [--map FILE]
                    [--no-default-map] [--no-thru] [--verbose]

Turns control changes into the Juno-106's own parameter changes, as the
window does, for a computer between a DAW or a hardware controller and the
synthesizer, which takes its sound parameters only as SysEx. It makes the
port "Qorv Control", which any program may connect to (a DAW's MIDI track,
aconnect), connects each --from port to it, and sends nothing until a control
change arrives. Each mapped control change goes to the synthesizer as one
parameter change, F0 41 32 0n pp vv F7, paced for a MIDI cable: while the
cable is busy only the latest value of each parameter waits. Notes, pitch
bend, modulation (CC 1), sustain (CC 64) and the channel-mode messages
(CC 120 to 127) pass on to the synthesizer on its channel, each after the
parameter changes of the control changes that came before it; while the
cable is busy only the latest bend and controller value wait, and the
parameter changes and the music take turns. It runs until Ctrl+C or
SIGTERM, then delivers what still waits and ends with status 0.

The synthesizer takes HPF and its three switches (PWM, ENV, VCA) as one
byte, and Range, Square, Saw and Chorus as another: moving one sends the
whole byte. Until Qorv knows how the synthesizer has the others set, a
control in such a byte sends nothing and says once why. It knows once it
hears the synthesizer (--listen: a patch chosen on it, or its own panel
moved), once it sends a sound (--patch), or once CC 118 or 119 sets the whole
byte; from then on such a control keeps the synthesizer's other settings.

The default map, on every channel:

  CC 102 LFO Rate    CC 108 VCF Res     CC 114 Decay
  CC 103 LFO Delay   CC 109 VCF ENV     CC 115 Sustain
  CC 104 DCO LFO     CC 110 VCF LFO     CC 116 Release
  CC 105 DCO PWM     CC 111 VCF KYBD    CC 117 Sub Level
  CC 106 Noise       CC 112 VCA Level   CC 118 DCO flags byte (raw)
  CC 107 VCF Freq    CC 113 Attack      CC 119 switches byte (raw)

  --to PORT          the synthesizer's output, as for qorv send
  --from PORT        a controller to connect to Qorv Control (more than once
                     for several)
  --listen PORT      the synthesizer's MIDI output: its patch dumps and its
                     own parameter changes keep Qorv's copy of its sound current
  --patch FILE       start from this sound (a .syx, .jep or .106 file), sent
                     to the synthesizer once at the start
  --pick NAME|INDEX  which of FILE's patches, when it holds several (a name,
                     or the number qorv list shows)
  --channel N        the MIDI channel (1-16) the synthesizer listens on; 1 if
                     not given
  --map FILE         learned mappings, as MIDI > Controllers > Export Map...
                     writes them: one "CHANNEL CC CONTROL" line each; they win
                     over the default map
  --no-default-map   only the mappings of --map
  --no-thru          pass no notes or other music to the synthesizer
  --verbose          one line per translated change: CC 107 ch 1 -> VCF Freq 64.
                     A standard output nobody reads never holds the translation
                     up: lines it cannot take are dropped, counted at the end,
                     and the status is then 1
)help"},
        {"restore", R"help(Usage: qorv restore LIBRARY.106 --to PORT --from PORT [--start A11]
                    [--rows FIRST-LAST] [--channel N] [--timeout SECONDS]

Guides the writing of a library into the synthesizer's memories and checks
each one, as after a new memory battery. The synthesizer stores a patch only
when WRITE and a memory's buttons are pressed on it, so for each memory this
prints what to press, sends the patch as a dump numbered as that memory, and
waits for the dump the synthesizer sends when the memory is selected. Only a
dump numbered as the memory counts (the synthesizer also sends the patch it
leaves). One that carries the patch sent marks the memory written and checked,
and the next one follows by itself. One that differs is named parameter by
parameter and the patch is sent again, three sends in all; then the memory
counts as differing and the guide goes on. At a terminal, a line "s" skips a
memory and "r" sends its patch again; any other standard input is not read.

A dump that comes back the same within 200 ms of the send is the link's own
echo (a MIDI thru, a merge, MIDI IN connected to MIDI OUT), never an answer:
when nothing else comes, the advice says so. The sequencer's through port
given as both --to and --from is refused before anything is sent.

Set MEMORY PROTECT to OFF and the MIDI FUNCTION switch to III first. No answer
within SECONDS says what to check and stops, as Ctrl+C does; either way the
summary follows (written and checked, skipped, differing, not written yet),
with the command that goes on from there. The status is 0 only when every
memory was written and checked.

LIBRARY may also be a .syx or .jep file (the patches as qorv list names them).

  --to PORT            the output to the synthesizer, as for qorv send
  --from PORT          the input from the synthesizer, as for qorv capture
  --start MEMORY       the first memory written (A11 to B88); A11 if not given.
                       The patches go into consecutive memories: A18, A21 ...
  --rows FIRST-LAST    only these patches, counted from 1 as qorv list numbers
                       them; a single N, or several parts such as 1-8,12, will do
  --channel N          the MIDI channel (1-16) of the synthesizer; 1 if not given
  --timeout SECONDS    how long to wait for an answer; 60 if not given
)help"},
        {"morph", R"help(Usage: qorv morph A B [C D] --at X[,Y] [-o FILE.syx] [--json] [--channel N]

Blends two to four patches as the window's Morph pad does. A patch is a file
that holds one (a .syx dump, a .jep preset, a one-patch .106) or
FILE:NAME for one of a file's patches (FILE:NUMBER, as qorv list numbers
them, will do). Two patches lie on a line from A (0) to B (1); three or four
on the corners of a square, A top left, B top right, C bottom left and D
bottom right (three: C spans the bottom edge), X from the left and Y from the
top. Each fader is the weighted mean of the corners' values (bilinear weights,
rounded, halves up); Range, Square, Saw, Chorus, PWM, ENV, VCA and HPF are
those of the corner that weighs most (the first of equals). Without -o or
--json the blend's parameters are printed, one line per section.

  --at X[,Y]         where on the line (X) or the square (X,Y), each from 0 to 1
  -o, --output FILE  the blend as one dump, a .syx file
  --json             the blend as one JSON object: "name", "corners", "at",
                     "data" (the 18 bytes) and "params"
  --channel N        the MIDI channel (1-16) of the dump written; 1 if not given
)help"},
        {"breed", R"help(Usage: qorv breed PARENT... -o OUT [--children N] [--amount subtle|moderate|wild]
                  [--lock SECTION,...] [--per-control] [--seed S] [--channel N]

Breeds new patches from one to three parents (each a file of one patch or
FILE:NAME, as for qorv morph), as the window's Breed does: each child takes
every section (LFO, DCO, HPF, VCF, VCA, ENV, CHORUS) whole from one parent,
then mutates by the amount: subtle moves no fader by more than 8 of 127 and
changes each switch-type control with a chance of 0.05; moderate by up to 24,
0.15; wild draws the unlocked sections anew. A locked section is the first
parent's in every child. The same parents, options and seed give the same
children on every machine; the seed used is printed, so a run without --seed
can be repeated.

  -o, --output OUT     NAME.syx: the children as one bank, a dump after another;
                       NAME.106: added to the library (made when missing),
                       named after the first parent with " b1", " b2" ...
                       (the first numbers the library has not used)
  --children N         how many; 12 if not given
  --amount AMOUNT      subtle, moderate or wild; subtle if not given
  --lock SECTION,...   sections kept from the first parent (any letter case)
  --per-control        each control from any parent, not whole sections
  --seed S             a whole number; a fresh one if not given
  --channel N          the MIDI channel (1-16) of the dumps written; 1 if not given
)help"},
        {"similar", R"help(Usage: qorv similar LIBRARY NAME [--count N] [--json]

Lists the patches of LIBRARY (.106, .syx or .jep) that sound nearest to the
one called NAME (or numbered NAME, as qorv list numbers them), nearest first,
with their distance (see README: 0 is the same sound, whatever the name) and
their number in the file.

  --count N   how many; 10 if not given
  --json      one JSON array of objects: "index", "name", "distance"
)help"},
        {"duplicates", R"help(Usage: qorv duplicates LIBRARY [--within D] [--json]

Groups the patches of LIBRARY that sound the same or nearly, as the window's
Select Duplicates does: going through the file in order, a patch within the
distance D of one kept before it is a duplicate of the nearest such one;
otherwise it is kept. Each group shows the patch kept and, indented, its
duplicates with their distance: erasing those leaves no two patches within D.

  --within D   the largest distance that counts as the same sound: 0 for
               exactly the same, 4 if not given (VCF Freq one step apart)
  --json       one JSON array of groups: "index", "name" and "duplicates"
               (each with "index", "name", "distance")
)help"},
        {"record", R"help(Usage: qorv record LIBRARY.106 --to PORT --from PCM [--rows FIRST-LAST|--missing]
                   [--note N] [--hold SECONDS] [--settle MS] [--channel N]

Records a preview of each patch from the synthesizer's audio output, so the
library can be heard without the synthesizer. For each patch it waits until
the input is quiet, sends the patch with Release and VCA Level at 0 (a voice
still ringing would otherwise take on the next sound), then the patch, plays
the note, records until the sound has died away (4 s at most), finds where
the sound starts, keeps 5 ms before it and 50 ms after it ends, and measures
its loudness (EBU R128) and true peak. Each preview is an Ogg Vorbis file in
the folder beside the library (Strings.previews for Strings.106), named after
the patch's 18 bytes and the phrase, so identical patches are recorded once;
its tags hold the patch, the phrase, the flags, the date, the input and the
gain to -20 LUFS. Every file is written whole or not at all.

A take during which the capture lost audio, or whose sound starts more than
30 ms away from the others', is taken again (three takes in all). A patch that
gives no audio is named and not stored; three patches in a row that should
sound and give none stop the run: check the cable and the input's level.

The status is 0 when every patch asked for was recorded or named as giving no
audio, 1 otherwise (with the failed patches listed). After Ctrl+C, the same
command with --missing records only what is missing.

  --to PORT         the output to the synthesizer, as for qorv send
  --from PCM        the audio input the synthesizer's output is connected to,
                    by its ALSA id, as qorv ports --audio lists them
  --rows ROWS       only these patches: FIRST-LAST counted from 1 as qorv list
                    numbers them (1-8,12 will do), or memory names (A11-A18)
  --missing         only the patches that have no preview of this phrase yet
  --note N          the note played (0-127); 60 if not given
  --hold SECONDS    how long it is held; 1 if not given
  --settle MS       how long to wait after a patch has crossed the MIDI cable
                    before the note; 60 if not given
  --channel N       the MIDI channel (1-16) of the synthesizer; 1 if not given
)help"},
        {"previews", R"help(Usage: qorv previews LIBRARY.106 --verify|--prune

Looks after the previews recorded for a library, in the folder beside it
(Strings.previews for Strings.106).

  --verify   decodes every file and checks it against its name and its tags;
             names each file that is not the preview its name says (damaged,
             cut short, renamed, or no preview at all). Status 1 when any is.
  --prune    removes the previews of sounds no patch of the library has any
             more (after patches were edited or erased)
)help"},
        {"voicecheck", R"help(Usage: qorv voicecheck --to PORT --from PCM [--channel N] [--json]

Checks the health of the synthesizer's six voices from its audio output, in
about 35 seconds. A test patch whose filter whistles by itself (waves off,
resonance high, keyboard follow 0, VCA Gate) plays 18 single notes on
different keys; the voices take them in turn, and their own pitch and level
tell which voice played which (voice 1 played the first note). Then the
filter at a second point, a resonance ramp on each voice, a pass with the
resonance at 0 (the output should be silent) and a six-note chord.

For each voice it reports, against the median of the voices: the level (dead
below -20 dB, weak below -3 dB), the filter's tuning in cents at both points
(off-tune beyond 25 cents between them, off-scale when the interval differs
by more than 5 %), where the resonance starts to whistle, clicks a second
(crackle above 2), noise and a thump at the gate with the resonance at 0,
each verdict with its number and the median; and how many voices the chord
sounds. When the voices sound alike they cannot be told apart, and it says so.
The status is 0 when the check was done, whatever it found.

  --to PORT     the output to the synthesizer, as for qorv send
  --from PCM    the audio input the synthesizer's output is connected to
  --channel N   the MIDI channel (1-16) of the synthesizer; 1 if not given
  --json        the report as one JSON object
)help"},
    };
} // namespace

const char* commandHelp (const std::string& command)
{
    for (const auto& help : helps)
        if (command == help.command)
            return help.text;
    return nullptr;
}
} // namespace QorvCli
