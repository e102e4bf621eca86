#include "previews/PreviewFolder.h"

#include "files/FileBytes.h"
#include "files/FilePath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr const char* indexHeader = "Qorv previews index 1";

/** A tag's value on one line of the index: tabs, line breaks and backslashes escaped. */
std::string escaped (const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '\t'   ? std::string ("\\t")
               : c == '\n' ? std::string ("\\n")
               : c == '\\' ? std::string ("\\\\")
                           : std::string (1, c);
    return out;
}

std::string unescaped (const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\' || i + 1 == text.size())
        {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string> splitTabs (const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find ('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back (line.substr (start, tab - start));
    fields.push_back (line.substr (start));
    return fields;
}
} // namespace

std::string PreviewFolder::folderFor (const std::string& libraryPath)
{
    const std::string_view folderPart = FilePath::folderOf (libraryPath);
    const std::string stem (FilePath::stem (libraryPath));
    const std::string name = stem + ".previews";
    if (libraryPath.find ('/') == std::string::npos)
        return name;
    return std::string (folderPart) + (folderPart == "/" ? "" : "/") + name;
}

PreviewFolder::PreviewFolder (std::string folderPath) : folder (std::move (folderPath)) {}

PreviewFolder::Stamp PreviewFolder::stampOf (const std::string& fileName) const
{
    struct stat info;
    if (::stat ((folder + "/" + fileName).c_str(), &info) != 0 || !S_ISREG (info.st_mode))
        return {};
    return {static_cast<long long> (info.st_size),
            static_cast<long long> (info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

std::vector<std::string> PreviewFolder::listPreviewFiles() const
{
    std::vector<std::string> names;
    DIR* directory = ::opendir (folder.c_str());
    if (directory == nullptr)
        return names;
    while (const dirent* entry = ::readdir (directory))
    {
        const std::string name = entry->d_name;
        if (PreviewInfo::parseFileName (name))
            names.push_back (name);
    }
    ::closedir (directory);
    return names;
}

bool PreviewFolder::readInfo (const std::string& fileName,
                              PreviewInfo& info,
                              std::string& whyNot,
                              bool decodeAudio) const
{
    std::vector<uint8_t> image;
    if (!FileBytes::readAll (folder + "/" + fileName, FileBytes::maxFileSize, image))
    {
        whyNot = "It cannot be read.";
        return false;
    }
    VorbisFile::Decoded decoded;
    if (!VorbisFile::decode (image.data(), image.size(), decoded, whyNot, !decodeAudio))
        return false;
    const auto tagged = decoded.tags.get ("QORV_FRAMES");
    const size_t frames = decodeAudio
                              ? decoded.samples.size()
                              : static_cast<size_t> (std::strtoull (tagged.value_or ("0").c_str(), nullptr, 10));
    const auto read = PreviewInfo::fromTags (decoded.tags, decoded.sampleRate, frames);
    if (!read)
    {
        whyNot = "Its tags do not describe a preview.";
        return false;
    }
    info = *read;
    if (decodeAudio && tagged && std::to_string (decoded.samples.size()) != *tagged)
    {
        whyNot = "It holds " + std::to_string (decoded.samples.size()) + " samples, its tags say " + *tagged + ".";
        return false;
    }
    return true;
}

void PreviewFolder::readIndex (std::map<std::string, std::pair<Stamp, PreviewInfo>>& entries) const
{
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (folder + "/" + indexName, FileBytes::maxFileSize, bytes))
        return;
    std::istringstream text (std::string (bytes.begin(), bytes.end()));
    std::string line;
    if (!std::getline (text, line) || line != indexHeader)
        return;
    while (std::getline (text, line))
    {
        const auto fields = splitTabs (line);
        if (fields.size() < 5)
            continue;
        VorbisFile::Tags tags;
        for (size_t i = 5; i < fields.size(); ++i)
        {
            const size_t equals = fields[i].find ('=');
            if (equals != std::string::npos)
                tags.fields.emplace_back (fields[i].substr (0, equals), unescaped (fields[i].substr (equals + 1)));
        }
        const Stamp stamp{std::atoll (fields[1].c_str()), std::atoll (fields[2].c_str())};
        const auto info = PreviewInfo::fromTags (
            tags, std::atoi (fields[3].c_str()), static_cast<size_t> (std::strtoull (fields[4].c_str(), nullptr, 10)));
        // An entry is only trusted for the file its name says.
        if (info && info->fileName() == fields[0])
            entries[fields[0]] = {stamp, *info};
    }
}

void PreviewFolder::refresh()
{
    std::map<std::string, std::pair<Stamp, PreviewInfo>> indexed;
    readIndex (indexed);
    std::map<std::string, PreviewInfo> found;
    std::map<std::string, Stamp> foundStamps;
    bool changed = false;
    for (const auto& name : listPreviewFiles())
    {
        const Stamp stamp = stampOf (name);
        const auto entry = indexed.find (name);
        if (entry != indexed.end() && entry->second.first == stamp)
        {
            found[name] = entry->second.second;
            foundStamps[name] = stamp;
            continue;
        }
        changed = true;
        PreviewInfo info;
        std::string whyNot;
        if (readInfo (name, info, whyNot, false) && info.fileName() == name)
        {
            found[name] = info;
            foundStamps[name] = stamp;
        }
    }
    changed = changed || found.size() != indexed.size();
    known = std::move (found);
    stamps = std::move (foundStamps);
    indexChanged = indexChanged || changed;
    if (changed)
        saveIndex();
}

const PreviewInfo* PreviewFolder::find (const PreviewInfo::PatchBytes& bytes, const Phrase& phrase) const
{
    const auto entry = known.find (PreviewInfo::fileNameOf (bytes, phrase));
    return entry == known.end() ? nullptr : &entry->second;
}

const PreviewInfo* PreviewFolder::findAny (const PreviewInfo::PatchBytes& bytes, const Phrase& phrase) const
{
    if (const auto* exact = find (bytes, phrase))
        return exact;
    const std::string prefix = PreviewInfo::hexOf (bytes) + "-";
    const auto entry = known.lower_bound (prefix);
    return entry != known.end() && entry->first.compare (0, prefix.size(), prefix) == 0 ? &entry->second : nullptr;
}

WriteResult PreviewFolder::store (PreviewInfo info, const std::vector<float>& audio)
{
    info.frames = audio.size();
    info.waveform = PreviewInfo::waveformOf (audio);
    std::vector<uint8_t> image;
    std::string whyNot;
    if (!VorbisFile::encode (audio.data(), audio.size(), info.sampleRate, info.toTags(), image, whyNot))
        return WriteResult::failure (whyNot);
    if (::mkdir (folder.c_str(), 0777) != 0 && errno != EEXIST)
        return WriteResult::failure ("The folder " + folder + " cannot be made: " + std::strerror (errno) + ".");
    const std::string name = info.fileName();
    auto written = FileBytes::writeIntoFolder (folder, name, image.data(), image.size());
    if (!written)
        return written;
    known[name] = std::move (info);
    stamps[name] = stampOf (name);
    indexChanged = true;
    return written;
}

bool PreviewFolder::load (const std::string& fileName, VorbisFile::Decoded& decoded, std::string& whyNot) const
{
    std::vector<uint8_t> image;
    if (!FileBytes::readAll (folder + "/" + fileName, FileBytes::maxFileSize, image))
    {
        whyNot = FileBytes::whyNotReadable (folder + "/" + fileName);
        if (whyNot.empty())
            whyNot = "It cannot be read.";
        return false;
    }
    return VorbisFile::decode (image.data(), image.size(), decoded, whyNot);
}

std::string PreviewFolder::indexText() const
{
    std::string text = std::string (indexHeader) + "\n";
    for (const auto& [name, info] : known)
    {
        const auto stamp = stamps.find (name);
        const Stamp found = stamp == stamps.end() ? Stamp{} : stamp->second;
        text += name + "\t" + std::to_string (found.size) + "\t" + std::to_string (found.modified) + "\t" +
                std::to_string (info.sampleRate) + "\t" + std::to_string (info.frames);
        for (const auto& [tag, value] : info.toTags().fields)
            text += "\t" + tag + "=" + escaped (value);
        text += "\n";
    }
    return text;
}

WriteResult PreviewFolder::saveIndex()
{
    if (!indexChanged)
        return WriteResult::success();
    struct stat info;
    if (::stat (folder.c_str(), &info) != 0)
        return WriteResult::success(); // nothing stored, nothing to index
    const std::string text = indexText();
    auto written =
        FileBytes::writeIntoFolder (folder, indexName, reinterpret_cast<const uint8_t*> (text.data()), text.size());
    if (written)
        indexChanged = false;
    return written;
}

std::vector<PreviewFolder::Problem> PreviewFolder::verify (size_t& checked) const
{
    std::vector<Problem> problems;
    checked = 0;
    DIR* directory = ::opendir (folder.c_str());
    if (directory == nullptr)
        return problems;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir (directory))
        names.push_back (entry->d_name);
    ::closedir (directory);
    std::sort (names.begin(), names.end());
    for (const auto& name : names)
    {
        if (name == "." || name == ".." || name == indexName)
            continue;
        ++checked;
        if (!PreviewInfo::parseFileName (name))
        {
            problems.push_back ({name, "Its name is not a preview's."});
            continue;
        }
        PreviewInfo info;
        std::string whyNot;
        if (!readInfo (name, info, whyNot, true))
            problems.push_back ({name, whyNot});
        else if (info.fileName() != name)
            problems.push_back ({name, "Its tags are those of " + info.fileName() + "."});
        else if (info.frames == 0)
            problems.push_back ({name, "It holds no audio."});
    }
    return problems;
}

std::vector<std::string> PreviewFolder::prune (const std::vector<PatchModel>& patches, std::vector<Problem>& failures)
{
    std::set<std::string> sounds;
    for (const auto& patch : patches)
        sounds.insert (PreviewInfo::hexOf (patch.data));
    std::vector<std::string> removed;
    for (const auto& name : listPreviewFiles())
    {
        if (sounds.count (name.substr (0, PatchBits::numBytes * 2)) != 0)
            continue;
        if (::unlink ((folder + "/" + name).c_str()) != 0)
        {
            failures.push_back ({name, std::string (std::strerror (errno)) + "."});
            continue;
        }
        removed.push_back (name);
        known.erase (name);
        stamps.erase (name);
        indexChanged = true;
    }
    std::sort (removed.begin(), removed.end());
    return removed;
}
