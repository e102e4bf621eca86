#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

/** A fresh folder under the system's temporary folder, removed with everything
    in it when the test ends. */
class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qorv-test-XXXXXX").string();
        if (::mkdtemp (pattern.data()) == nullptr)
            throw std::runtime_error ("mkdtemp failed");
        root = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all (root, ignored);
    }
    TempFolder (const TempFolder&) = delete;
    TempFolder& operator= (const TempFolder&) = delete;

    std::string path (const std::string& name) const { return (root / name).string(); }

    /** Names of everything in the folder, to spot temporary files left behind. */
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator (root))
            names.push_back (entry.path().filename().string());
        return names;
    }

    std::filesystem::path root;
};

inline std::vector<uint8_t> readBytes (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    if (!in)
        throw std::runtime_error ("cannot read " + path);
    return {std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>()};
}

inline void writeBytes (const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (bytes.data()), static_cast<std::streamsize> (bytes.size()));
    if (!out)
        throw std::runtime_error ("cannot write " + path);
}
