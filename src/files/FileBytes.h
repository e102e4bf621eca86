#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** The one door between the file formats and the disk. The formats build and
    parse whole images in memory; these move the images in and out safely. */
namespace FileBytes
{
/** Largest file a reader takes into memory; a 10,000-patch library is ~1 MB. */
constexpr size_t maxFileSize = size_t{64} << 20;

/** Reads a whole file. Refuses (false, `bytes` untouched) a file that cannot
    be opened or read, or that is larger than maxSize, before reading it. */
bool readAll (const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes);

/** Reads at most `count` bytes from the start of a file; false only when the
    file cannot be opened or read. */
bool readHead (const std::string& path, size_t count, std::vector<uint8_t>& bytes);

/** Writes the image to a new file in the target's folder and renames it over
    the target only when every byte reached the disk, so a failure leaves any
    old file as it was. A target that may not be written is refused. */
bool replaceAtomically (const std::string& path, const uint8_t* data, size_t size);
} // namespace FileBytes
