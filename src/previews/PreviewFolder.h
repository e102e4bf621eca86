#pragma once

#include "files/WriteResult.h"
#include "previews/Preview.h"
#include "previews/VorbisFile.h"

#include <map>
#include <string>
#include <vector>

/** The previews of one library: beside "Strings.106" the folder
    "Strings.previews", one Ogg Vorbis file per sound and phrase, and its
    index, which only keeps a copy of each file's tags so a list can show
    them without opening thousands of files. Every file is written whole or
    not at all (FileBytes), so a run killed at any moment leaves no partial
    file; an index that is stale or gone is rebuilt from the files. */
class PreviewFolder
{
public:
    static constexpr const char* indexName = "index.txt";

    /** "/music/Strings.previews" for "/music/Strings.106". */
    static std::string folderFor (const std::string& libraryPath);

    explicit PreviewFolder (std::string folderPath);
    const std::string& path() const { return folder; }

    /** Reads the index and the folder: a file the index lacks, or one changed
        since, is read from its own tags; an entry whose file is gone is
        dropped. Saves the index when it changed. A missing folder holds nothing. */
    void refresh();

    /** Every preview by its file name. */
    const std::map<std::string, PreviewInfo>& previews() const { return known; }
    const PreviewInfo* find (const PreviewInfo::PatchBytes& bytes, const Phrase& phrase) const;
    /** The preview of the sound for `phrase`, or else its first preview of any phrase. */
    const PreviewInfo* findAny (const PreviewInfo::PatchBytes& bytes, const Phrase& phrase) const;

    /** Encodes the audio with the info's tags and writes it as the info's
        file (the folder is made when missing). Done or not at all. */
    WriteResult store (PreviewInfo info, const std::vector<float>& audio);
    /** Reads and decodes a preview's file. */
    bool load (const std::string& fileName, VorbisFile::Decoded& decoded, std::string& whyNot) const;
    /** Writes the index whole; the run calls it now and then and at its end. */
    WriteResult saveIndex();

    struct Problem
    {
        std::string fileName;
        std::string why;
    };
    /** Decodes every file and checks it against its name and its tags; `checked` counts the files looked at. */
    std::vector<Problem> verify (size_t& checked) const;
    /** Removes the previews whose sound no patch of `patches` has, returns
        their names; what could not be removed goes into `failures`. */
    std::vector<std::string> prune (const std::vector<PatchModel>& patches, std::vector<Problem>& failures);

    PreviewFolder (const PreviewFolder&) = delete;
    PreviewFolder& operator= (const PreviewFolder&) = delete;

private:
    struct Stamp
    {
        long long size = -1;
        long long modified = 0; // nanoseconds
        bool operator== (const Stamp& other) const { return size == other.size && modified == other.modified; }
    };
    Stamp stampOf (const std::string& fileName) const;
    /** The file names in the folder that name previews. */
    std::vector<std::string> listPreviewFiles() const;
    bool readInfo (const std::string& fileName, PreviewInfo& info, std::string& whyNot, bool decodeAudio) const;
    std::string indexText() const;
    void readIndex (std::map<std::string, std::pair<Stamp, PreviewInfo>>& entries) const;

    const std::string folder;
    std::map<std::string, PreviewInfo> known;
    std::map<std::string, Stamp> stamps;
    bool indexChanged = false;
};
