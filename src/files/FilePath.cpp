#include "files/FilePath.h"

#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace FilePath
{
std::string_view fileName (std::string_view path)
{
    const size_t slash = path.rfind ('/');
    return slash == std::string_view::npos ? path : path.substr (slash + 1);
}

std::string_view stem (std::string_view path)
{
    const std::string_view name = fileName (path);
    const size_t dot = name.rfind ('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr (0, dot);
}

std::string extension (std::string_view path)
{
    const std::string_view name = fileName (path);
    const size_t dot = name.rfind ('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string lowered (name.substr (dot));
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char> (c - 'A' + 'a');
    return lowered;
}

std::string_view folderOf (std::string_view path)
{
    const size_t slash = path.rfind ('/');
    if (slash == std::string_view::npos)
        return ".";
    return slash == 0 ? path.substr (0, 1) : path.substr (0, slash);
}

std::string absolute (std::string_view path, std::string_view folder)
{
    // Without a working folder (it was removed) a relative path stays as it was
    // given, to be refused by name, never read as one under the root.
    if ((!path.empty() && path.front() == '/') || folder.empty())
        return std::string (path);
    std::string joined (folder);
    if (joined.empty() || joined.back() != '/')
        joined += '/';
    return joined + std::string (path);
}

std::string workingFolder()
{
    std::vector<char> buffer (PATH_MAX);
    for (;;)
    {
        if (::getcwd (buffer.data(), buffer.size()) != nullptr)
            return buffer.data();
        if (errno != ERANGE || buffer.size() > (size_t{1} << 20))
            return {};
        buffer.resize (buffer.size() * 2);
    }
}
} // namespace FilePath
