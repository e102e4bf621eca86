// The SysEx recogniser, on whole messages and, where the MIDI engine's
// assembler is present, on raw byte streams cut into chunks.
// Input: one byte choosing the channel and the chunk size, then the bytes.

#include "FuzzSupport.h"
#include "midi/protocol/JunoMessages.h"

#if __has_include("midi/protocol/SysexAssembler.h")
#include "midi/protocol/SysexAssembler.h"
#define QORV_FUZZ_ASSEMBLER 1
#endif

namespace
{
void checkRecognised (const uint8_t* message, size_t length, int channel)
{
    using Kind = JunoMessages::Recognised::Kind;
    const JunoMessages::Recognised result = JunoMessages::recognise (message, length, channel);
    if (result.kind == Kind::none)
        return;
    require (length >= 7 && message[0] == 0xF0 && message[1] == 0x41 && message[3] == channel,
             "only Roland messages for our channel are recognised");
    if (result.kind == Kind::paramChange)
    {
        require (message[2] == 0x32, "parameter change command");
        require (result.paramNumber == message[4] && result.paramValue == message[5], "parameter bytes");
        return;
    }
    require (length >= 23, "dumps need 23 bytes");
    for (size_t i = 0; i < result.patch.data.size(); ++i)
        require (result.patch.data[i] == message[5 + i], "dump bytes copied");
    require (result.kind == Kind::manualDump ? result.patch.name.empty()
                                             : result.patch.name == JunoMessages::patchNameFromNumber (message[4]),
             "dump name");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int channel = data[0] & 0x0F;
    const size_t chunk = static_cast<size_t> (data[0] >> 4) + 1;
    const uint8_t* bytes = data + 1;
    const size_t count = size - 1;

    checkRecognised (bytes, count, channel);

#ifdef QORV_FUZZ_ASSEMBLER
    SysexAssembler assembler (
        [channel] (const uint8_t* message, size_t length)
        {
            require (length >= 2 && length <= SysexAssembler::maxMessageSize, "assembled length");
            require (message[0] == 0xF0 && message[length - 1] == 0xF7, "assembled message is framed");
            checkRecognised (message, length, channel);
        });
    for (size_t at = 0; at < count; at += chunk)
        assembler.processRawBytes (bytes + at, std::min (chunk, count - at));
#endif
    return 0;
}
