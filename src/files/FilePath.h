#pragma once

#include <string>
#include <string_view>

/** Paths as Linux keeps them: bytes, not text. Names in old patch archives
    are often Latin-1, and a path has to reach the disk exactly as it was
    given, so these work on the bytes alone and never decode them. */
namespace FilePath
{
/** The last part of a path: "Strings.106" for "/home/me/Strings.106". */
std::string_view fileName (std::string_view path);

/** The file's name without its extension: "Strings" for "/home/me/Strings.106". */
std::string_view stem (std::string_view path);

/** The extension with its dot, in lower case (ASCII only): ".106", or empty. */
std::string extension (std::string_view path);

/** The folder a path is in: "/home/me" for "/home/me/Strings.106", "/" for "/a". */
std::string_view folderOf (std::string_view path);

/** `path` as an absolute path: given relative to `workingFolder` unless it
    starts with '/'. Nothing is resolved, so links stay as they were given.
    With no working folder (empty: it is gone) the path stays as given. */
std::string absolute (std::string_view path, std::string_view workingFolder);

/** The folder the program runs in, as the system gives it; empty when it cannot say. */
std::string workingFolder();
} // namespace FilePath
