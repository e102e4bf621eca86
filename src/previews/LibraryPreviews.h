#pragma once

#include "previews/PreviewFolder.h"

#include <memory>
#include <string>

/** The previews of the library a window or a plugin has open: the folder
    beside its file, followed as the file changes (an unsaved library has
    none), and the phrase whose previews are shown. A list reads it by
    reference to show which rows have a preview. */
class LibraryPreviews
{
public:
    /** Follows the library's file; a different file's folder is read afresh. */
    void follow (const std::string& libraryPath);
    /** Reads the folder again (after a run stored previews, or the files changed). */
    void refresh();

    /** The preview of the sound for the phrase, else of another phrase; nullptr when none. */
    const PreviewInfo* find (const PreviewInfo::PatchBytes& bytes) const;
    /** The folder, or nullptr while the library has no file. */
    PreviewFolder* folder() const { return current.get(); }
    const std::string& libraryPath() const { return path; }

    Phrase phrase;

private:
    std::string path;
    std::unique_ptr<PreviewFolder> current;
};
