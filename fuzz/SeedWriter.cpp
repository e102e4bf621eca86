// Writes small valid inputs for each fuzzer, made with the program's own
// writers, into <folder>/<target>/. Run by CTest before the fuzzers.

#include "Base64Text.h"
#include "FactoryPatches.h"
#include "files/PluginState.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"
#include "midi/protocol/JunoMessages.h"
#include "previews/Preview.h"
#include "previews/PreviewArchive.h"
#include "previews/VorbisFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace
{
using Bytes = std::vector<uint8_t>;

bool writeSeed (const std::filesystem::path& folder, const std::string& name, const Bytes& bytes)
{
    std::filesystem::create_directories (folder);
    std::ofstream out (folder / name, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (bytes.data()), static_cast<std::streamsize> (bytes.size()));
    return static_cast<bool> (out);
}

Bytes libraryImage (std::string name, std::vector<PatchModel> patches)
{
    LibraryModel library;
    library.name = std::move (name);
    library.patches = std::move (patches);
    Bytes image;
    QorvFileIO::toBytes (library, image);
    return image;
}

Bytes preset (const PatchModel& patch, const char* lineBreak)
{
    const std::string payload = base64Text (Bytes (patch.data.begin(), patch.data.end()));
    const std::string text = "<?xml version=\"1.0\"?>\n<preset>\n  <sysexData>\n    <data>" + payload.substr (0, 12) +
                             lineBreak + payload.substr (12) + "</data>\n  </sysexData>\n</preset>\n";
    return Bytes (text.begin(), text.end());
}

Bytes dump (const PatchModel& patch, int channel, int number)
{
    const auto message = JunoMessages::buildPatchDump (patch, channel, number);
    return Bytes (message.begin(), message.end());
}

void append (Bytes& to, const Bytes& bytes)
{
    to.insert (to.end(), bytes.begin(), bytes.end());
}

/** A sysex-fuzzer input: the control byte (channel, chunk size), then the stream. */
Bytes stream (uint8_t control, std::initializer_list<Bytes> parts)
{
    Bytes bytes{control};
    for (const Bytes& part : parts)
        bytes.insert (bytes.end(), part.begin(), part.end());
    return bytes;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::vector<FactoryPatch> factory = loadFactoryPatches();
    const PatchModel& brass = factory[0].patch;
    const PatchModel& last = factory.back().patch;
    bool ok = true;

    ok &= writeSeed (root / "library", "new.106", libraryImage ("New Library", {PatchModel()}));
    ok &= writeSeed (root / "library", "empty.106", libraryImage ("Empty", {}));
    ok &= writeSeed (root / "library", "factory3.106", libraryImage ("Factory", {brass, factory[1].patch, last}));

    ok &= writeSeed (root / "syx", "init.syx", dump (PatchModel(), 0, 0));
    ok &= writeSeed (root / "syx", "brass.syx", dump (brass, 0, 0));
    Bytes manual = dump (last, 15, 0);
    manual[2] = JunoMessages::manualDumpCommand;
    ok &= writeSeed (root / "syx", "manual.syx", manual);

    Bytes bank;
    for (size_t i = 0; i < factory.size(); ++i)
        append (bank, dump (factory[i].patch, 0, static_cast<int> (i)));
    ok &= writeSeed (root / "syxbank", "factory.syx", bank);
    Bytes mixed = dump (brass, 0, 9);
    append (mixed, {0xF8, 0xF0, 0x43, 0x10, 0x4C, 0xF7, 0xFE, 0x90, 0x3C});
    append (mixed, manual);
    append (mixed, dump (last, 5, 127));
    mixed.resize (mixed.size() - 4); // a truncated last dump
    ok &= writeSeed (root / "syxbank", "mixed.syx", mixed);

    ok &= writeSeed (root / "jep", "init.jep", preset (PatchModel(), "\n      "));
    ok &= writeSeed (root / "jep", "brass.jep", preset (brass, "\r\n"));

    const Bytes param{0xF0, 0x41, 0x32, 0x00, 0x05, 0x40, 0xF7};
    ok &= writeSeed (root / "sysex", "dump", stream (0x00, {dump (brass, 0, 0)}));
    ok &= writeSeed (root / "sysex", "param", stream (0x00, {param}));
    Bytes manualOn3 = dump (last, 3, 64);
    manualOn3[2] = JunoMessages::manualDumpCommand;
    ok &= writeSeed (root / "sysex", "manual-ch3", stream (0x53, {manualOn3}));
    ok &= writeSeed (
        root / "sysex",
        "mixed-stream",
        stream (0x20, {{0x90, 0x3C, 0x40}, dump (last, 0, 127), {0xF8}, param, {0xF0, 0x41}, dump (brass, 0, 9)}));
    // Names end at a backslash and another character; the last byte picks the extension.
    const std::string names = "Brass 1\\nBass\\nBASS\\n..\\n\\n  \\na/b\\n~\\nBell\xE2\x82\\n" + std::string (130, 'x');
    ok &= writeSeed (root / "filename", "export", Bytes (names.begin(), names.end()));
    // Six fields, each ended by a backslash and another character, then the sizes.
    const std::string progress = "/home/me/Factory.106\\nB11\\n1-3,5,9-12\\ncdsc----\\nB15\\n0a1b2c3d\\n\x40\x02\x10";
    ok &= writeSeed (root / "progress", "stopped", Bytes (progress.begin(), progress.end()));

    // A library with one preview, as an archive, and the preview alone.
    {
        PreviewInfo info;
        info.title = "Brass";
        info.bytes = brass.data;
        info.frames = 4800;
        std::vector<float> audio (info.frames);
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<float> ((i % 100) / 100.0 - 0.5);
        Bytes ogg;
        std::string whyNot;
        ok &= VorbisFile::encode (audio.data(), audio.size(), 48000, info.toTags(), ogg, whyNot);
        ok &= writeSeed (root / "previews", "preview.ogg", ogg);
        ok &= writeSeed (root / "previews",
                         "library.zip",
                         PreviewArchive::write ({{"Brass.106", libraryImage ("Brass", {brass})},
                                                 {"Brass.previews/" + info.fileName(), ogg}}));
    }

    PluginState project;
    project.active = brass;
    project.stored = last;
    project.outputDevice = "Juno-106 MIDI 1";
    project.channel = 3;
    project.way = PluginState::Way::throughHost;
    project.sendAtEveryStart = true;
    project.libraryPath = "/home/me/Factory.106";
    ok &= writeSeed (root / "pluginstate", "project", project.toBytes());
    ok &= writeSeed (root / "pluginstate", "init", PluginState().toBytes());

    // Settings as JUCE writes them, and the documents a general parser would act on.
    const std::string settings =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<PROPERTIES>\r\n"
        "  <VALUE name=\"MIDI_IN\" val=\"Juno &amp; &lt;1&gt; caf&#233;&#10;\"/>\r\n"
        "  <VALUE name=\"RECENT_LIBRARIES\">\r\n    <RECENT>\r\n      <FILE path=\"/home/me/a.106\"/>\r\n"
        "    </RECENT>\r\n  </VALUE>\r\n</PROPERTIES>\r\n";
    const std::string text = "\xEF\xBB\xBF<!-- c --><a x='1'> t<!-- c -->u&#x41;\r\n<b/> </a><?end?>";
    const std::string entities = "<!DOCTYPE a [<!ENTITY b \"x\"><!ENTITY c \"&b;&b;\">]><a v=\"&c;\">&c;</a>";
    const std::string external = "<!DOCTYPE a SYSTEM \"/dev/null\"><a>&e;</a>";
    const std::string strayByte = "\xBC!DOCTYPE a><a/>"; // JUCE's decoder reads the stray byte as '<'
    for (const auto& [name, content] : {std::pair{"settings.xml", settings},
                                        std::pair{"text.xml", text},
                                        std::pair{"entities.xml", entities},
                                        std::pair{"external.xml", external},
                                        std::pair{"stray-byte.xml", strayByte}})
        ok &= writeSeed (root / "settings", name, Bytes (content.begin(), content.end()));
    return ok ? 0 : 1;
}
