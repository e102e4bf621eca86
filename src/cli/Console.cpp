#include "cli/Console.h"

#include "files/Utf8Text.h"

#include <cerrno>
#include <cstring>

namespace QorvCli
{
namespace
{
    bool isControl (char32_t c)
    {
        return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
    }
} // namespace

void Console::write (std::string_view text)
{
    std::fwrite (text.data(), 1, text.size(), out);
}

void Console::print (std::string_view line)
{
    write (line);
    std::fputc ('\n', out);
}

void Console::flush()
{
    std::fflush (out);
}

void Console::error (std::string_view subject, std::string_view reason)
{
    note (std::string (subject) + ": " + std::string (reason));
}

void Console::note (std::string_view text)
{
    const std::string shown = "qorv: " + displayText (text) + "\n";
    std::fwrite (shown.data(), 1, shown.size(), err);
    std::fflush (err);
}

bool Console::finish()
{
    errno = 0;
    if (std::fflush (out) == 0 && std::ferror (out) == 0)
        return true;
    const int why = errno;
    error ("standard output", why != 0 ? std::strerror (why) : "could not be written");
    return false;
}

std::string displayText (std::string_view name)
{
    std::u32string codePoints = Utf8Text::decode (name);
    for (auto& c : codePoints)
        if (isControl (c))
            c = U' ';
    return Utf8Text::encode (codePoints);
}

std::string jsonString (std::string_view text)
{
    const std::string valid = Utf8Text::encode (Utf8Text::decode (text));
    std::string quoted = "\"";
    quoted.reserve (valid.size() + 2);
    for (const char c : valid)
    {
        const auto byte = static_cast<unsigned char> (c);
        if (c == '"' || c == '\\')
        {
            quoted += '\\';
            quoted += c;
        }
        else if (byte < 0x20)
        {
            char escaped[8];
            std::snprintf (escaped, sizeof (escaped), "\\u%04x", byte);
            quoted += escaped;
        }
        else
        {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string hexBytes (const uint8_t* bytes, size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve (count * 3);
    for (size_t i = 0; i < count; ++i)
    {
        if (i > 0)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

std::string counted (size_t count, std::string_view singular, std::string_view plural)
{
    return std::to_string (count) + " " + std::string (count == 1 ? singular : plural);
}
} // namespace QorvCli
