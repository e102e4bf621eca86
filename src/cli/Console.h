#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace QorvCli
{
/** Where a command speaks: results on one stream (standard output), errors
    and notes on another (standard error), every error naming what it is
    about. Lines are flushed as they are written, so a script or a pipe sees
    progress as it happens. */
class Console
{
public:
    Console (std::FILE* results, std::FILE* messages) : out (results), err (messages) {}

    /** One line of results. */
    void print (std::string_view line);
    /** Results as they are, without a line end added. */
    void write (std::string_view text);
    /** Hands the results written so far on at once, so a pipe sees progress as it happens. */
    void flush();
    /** "qorv: SUBJECT: reason" on the message stream. */
    void error (std::string_view subject, std::string_view reason);
    /** "qorv: text" on the message stream. */
    void note (std::string_view text);

    /** False, with an error said, when results could not all be written (a full disk, a closed pipe). */
    bool finish();

    Console (const Console&) = delete;
    Console& operator= (const Console&) = delete;

private:
    std::FILE* out;
    std::FILE* err;
};

/** A name from a file or a synthesizer as a terminal can show it: valid
    UTF-8 (each invalid part a U+FFFD) with control characters as spaces, so
    no name can move the cursor or change the terminal's state. */
std::string displayText (std::string_view name);

/** A JSON string literal of the text: quoted, valid UTF-8, with quotes,
    backslashes and control characters escaped. */
std::string jsonString (std::string_view text);

/** "F0 41 30 ..." */
std::string hexBytes (const uint8_t* bytes, size_t count);

/** "1 value" or "3 values": a count with its noun. */
std::string counted (size_t count, std::string_view singular, std::string_view plural);
} // namespace QorvCli
