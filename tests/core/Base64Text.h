#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

/** Standard base64 with padding, written independently of the decoder under
    test; the tests and the fuzzers' seed writer build preset files with it. */
inline std::string base64Text (const std::vector<uint8_t>& bytes)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t n = std::min<size_t> (3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < n ? bytes[i + j] : 0);
        for (size_t j = 0; j < 4; ++j)
            text += j <= n ? digits[(group >> (18 - 6 * j)) & 63] : '=';
    }
    return text;
}
