#include "previews/LibraryPreviews.h"

void LibraryPreviews::follow (const std::string& libraryPath)
{
    if (libraryPath == path && (current != nullptr || path.empty()))
        return;
    path = libraryPath;
    current.reset();
    if (!path.empty())
    {
        current = std::make_unique<PreviewFolder> (PreviewFolder::folderFor (path));
        current->refresh();
    }
}

void LibraryPreviews::refresh()
{
    if (current != nullptr)
        current->refresh();
}

const PreviewInfo* LibraryPreviews::find (const PreviewInfo::PatchBytes& bytes) const
{
    return current != nullptr ? current->findAny (bytes, phrase) : nullptr;
}
