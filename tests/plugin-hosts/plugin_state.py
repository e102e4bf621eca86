#!/usr/bin/env python3
"""Usage: plugin_state.py SESSION.ardour PLUGIN_URI [SYX_OUT | --text]

Reads the state an Ardour session saved for the one Qorv LV2 plugin in it,
checks it against docs/plugin-state.md (the magic, the version, the length,
the CRC-32, every field inside the body) and prints it one field a line, so
two saves can be compared as text. With SYX_OUT, also writes the active patch
as a Juno-106 patch dump, for `qorv list --params` to name its values. With
--text, prints the state file's path and the StateString as it is kept,
unchecked, one a line.

Ardour keeps an LV2 plugin's state in plugins/ID/STATE-DIR/state.ttl, where
the session file's Processor names ID and STATE-DIR. JUCE's LV2 wrapper keeps
the plugin's bytes there under URI:StateString, in JUCE's own base64: the
byte count, a dot, then 6 bits a character from the least significant bit up,
in the alphabet below.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib
from pathlib import Path

JUCE_BASE64 = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+"
FIELD_NAMES = {1: "active patch", 2: "stored version", 3: "output device", 4: "channel",
               5: "way", 6: "recall options", 7: "library", 8: "control port"}
PATCH_BYTES = 18


class BadState(Exception):
    pass


def decode_juce_base64(text):
    count, dot, characters = text.partition(".")
    if not dot or not count.isdigit():
        raise BadState(f"not JUCE base64: {text[:40]!r}")
    value, bits = 0, 0
    for character in characters:
        index = JUCE_BASE64.find(character)
        if index < 0:
            raise BadState(f"{character!r} is not a JUCE base64 character")
        value |= index << bits
        bits += 6
    data = value.to_bytes((bits + 7) // 8, "little")
    if len(data) < int(count):
        raise BadState(f"{count} bytes announced, {len(data)} encoded")
    return data[: int(count)]


def state_file(session_file, uri):
    processors = [p for p in ElementTree.parse(session_file).iter("Processor")
                  if p.get("type") == "lv2" and p.get("unique-id") == uri]
    if len(processors) != 1:
        raise BadState(f"{len(processors)} processors of {uri} in {session_file}, not one")
    lv2 = processors[0].find("lv2")
    if lv2 is None or not lv2.get("state-dir"):
        raise BadState("the processor has no saved LV2 state")
    return Path(session_file).parent / "plugins" / processors[0].get("id") / lv2.get("state-dir") / "state.ttl"


def fields(data):
    """The state's fields in order, as (tag, bytes), once every check has passed."""
    if data[:8] != b"QORVPLUG":
        raise BadState(f"magic {data[:8]!r}")
    version, length = struct.unpack_from("<HI", data, 8)
    if version != 1:
        raise BadState(f"version {version}")
    if 14 + length + 4 != len(data):
        raise BadState(f"a body of {length} bytes in {len(data)} bytes of state")
    (crc,) = struct.unpack_from("<I", data, 14 + length)
    if crc != zlib.crc32(data[: 14 + length]):
        raise BadState("wrong CRC-32")
    body, at, result = data[14 : 14 + length], 0, []
    while at < len(body):
        if at + 5 > len(body):
            raise BadState(f"a field header runs past the body at {at}")
        tag, size = body[at], struct.unpack_from("<I", body, at + 1)[0]
        if at + 5 + size > len(body):
            raise BadState(f"field {tag} runs past the body")
        result.append((tag, body[at + 5 : at + 5 + size]))
        at += 5 + size
    tags = [tag for tag, _ in result]
    for required in (1, 2):
        if tags.count(required) != 1:
            raise BadState(f"field {required} ({FIELD_NAMES[required]}) appears {tags.count(required)} times")
    return result


def describe(tag, value):
    if tag in (1, 2):
        if len(value) < PATCH_BYTES:
            raise BadState(f"{FIELD_NAMES[tag]} holds {len(value)} bytes")
        return f"{value[:PATCH_BYTES].hex(' ')} name={value[PATCH_BYTES:].decode('utf-8', 'replace')!r}"
    if tag in (4, 5, 6, 8):
        return str(value[0]) if len(value) == 1 else f"bad length {len(value)}"
    if tag in (3, 7):
        return repr(value.decode("utf-8", "replace"))
    return value.hex(" ")


def patch_dump(patch):
    """The patch as the synthesizer's own dump on channel 1 (memory 0)."""
    return bytes([0xF0, 0x41, 0x30, 0x00, 0x00]) + patch[:PATCH_BYTES] + bytes([0xF7])


def main(arguments):
    if len(arguments) not in (2, 3):
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    try:
        path = state_file(arguments[0], arguments[1])
        match = re.search(r'<' + re.escape(arguments[1]) + r':StateString>\s+"([^"]*)"', path.read_text())
        if not match:
            raise BadState(f"no StateString in {path}")
        if arguments[2:] == ["--text"]:
            print(path)
            print(match.group(1))
            return 0
        state = fields(decode_juce_base64(match.group(1)))
    except (BadState, OSError, ElementTree.ParseError) as error:
        print(f"unreadable plugin state: {error}", file=sys.stderr)
        return 1
    print(f"state file: {path}", file=sys.stderr)
    for tag, value in state:
        print(f"{FIELD_NAMES.get(tag, f'field {tag}')}: {describe(tag, value)}")
    if len(arguments) == 3:
        Path(arguments[2]).write_bytes(patch_dump(dict(state)[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
