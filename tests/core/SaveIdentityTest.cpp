// Saving over a file keeps what the file is: its other names, owner, group,
// permissions and extended attributes, and works wherever a plain write of
// the file would (a folder where no new file can be made).

#include "ChildProcess.h"
#include "FileSizeLimit.h"
#include "TempFolder.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes oldContent{'o', 'l', 'd', 0x00, 0xFF};
const Bytes newContent{'n', 'e', 'w', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', ' ', 'l', 'o', 'n', 'g', 'e', 'r', ' ',
                       't', 'h', 'a', 'n', ' ', 's', 'i', 'x', 't', 'e', 'e', 'n', ' ', 'b', 'y', 't', 'e', 's'};

bool save (const std::string& path)
{
    return FileBytes::replaceAtomically (path, newContent.data(), newContent.size());
}

/** Writes the new content over the file: "saved", or why not. */
std::string saveTelling (const std::string& path)
{
    const WriteResult result = FileBytes::replaceFile (path, newContent.data(), newContent.size());
    return result.ok ? std::string ("saved") : result.reason;
}

struct stat statOf (const std::string& path)
{
    struct stat info
    {
    };
    if (::lstat (path.c_str(), &info) != 0)
        throw std::runtime_error ("cannot stat " + path);
    return info;
}

/** The owner the unprivileged child runs as: nobody under root, else ourselves. */
uid_t childUser()
{
    return runningAsRoot() ? nobodyUser : ::geteuid();
}
gid_t childGroup()
{
    return runningAsRoot() ? nobodyGroup : ::getegid();
}

/** Lets the unprivileged child reach into the test folder. */
void openUp (const TempFolder& folder)
{
    ::chmod (folder.root.c_str(), 0755);
}

} // namespace

TEST (SaveIdentityTest, HardLinkedFileIsRewrittenSoEveryNameSeesTheNewContent)
{
    TempFolder folder;
    const std::string path = folder.path ("library.106");
    const std::string otherName = folder.path ("backup-name.106");
    writeBytes (path, oldContent);
    ASSERT_EQ (::link (path.c_str(), otherName.c_str()), 0);
    const ino_t inode = statOf (path).st_ino;

    ASSERT_TRUE (save (path));
    EXPECT_EQ (readBytes (path), newContent);
    EXPECT_EQ (readBytes (otherName), newContent) << "the link is not split";
    EXPECT_EQ (statOf (path).st_ino, inode);
    EXPECT_EQ (statOf (path).st_nlink, 2u);
    EXPECT_EQ (folder.entries().size(), 2u);
}

TEST (SaveIdentityTest, RewriteInPlaceThatFailsHalfWayPutsTheOldContentBack)
{
    TempFolder folder;
    const std::string path = folder.path ("library.106");
    const std::string otherName = folder.path ("other.106");
    writeBytes (path, oldContent);
    ASSERT_EQ (::link (path.c_str(), otherName.c_str()), 0);
    WriteResult result;
    {
        const FileSizeLimit limit (16); // the new content is longer: it stops after 16 bytes
        result = FileBytes::replaceFile (path, newContent.data(), newContent.size());
    }
    EXPECT_FALSE (result.ok);
    EXPECT_EQ (result.reason, "The file is too large for this disk.");
    EXPECT_EQ (readBytes (path), oldContent);
    EXPECT_EQ (readBytes (otherName), oldContent);
    EXPECT_EQ (folder.entries().size(), 2u);
}

TEST (SaveIdentityTest, ReplacementKeepsOwnerGroupPermissionsAndExtendedAttributes)
{
    TempFolder folder;
    const std::string path = folder.path ("library.106");
    writeBytes (path, oldContent);
    // Under root the file belongs to someone else; otherwise to ourselves.
    ASSERT_EQ (::chown (path.c_str(), childUser(), childGroup()), 0);
    ASSERT_EQ (::chmod (path.c_str(), 0754), 0);
    const std::string tag = "kept";
    // Older tmpfs has only the attributes root may set.
    std::string attribute = "user.qorv.tag";
    if (::setxattr (path.c_str(), attribute.c_str(), tag.data(), tag.size(), 0) != 0 && runningAsRoot())
        attribute = "trusted.qorv.tag";
    if (::setxattr (path.c_str(), attribute.c_str(), tag.data(), tag.size(), 0) != 0)
        GTEST_SKIP() << "the temporary folder's file system has no extended attributes";
    const ino_t inode = statOf (path).st_ino;

    ASSERT_TRUE (save (path));
    EXPECT_EQ (readBytes (path), newContent);
    const struct stat after = statOf (path);
    EXPECT_NE (after.st_ino, inode) << "replaced, not rewritten in place";
    EXPECT_EQ (after.st_uid, childUser());
    EXPECT_EQ (after.st_gid, childGroup());
    EXPECT_EQ (after.st_mode & 07777, 0754u);
    char value[16] = {};
    ASSERT_EQ (::getxattr (path.c_str(), attribute.c_str(), value, sizeof (value)), static_cast<ssize_t> (tag.size()));
    EXPECT_EQ (std::string (value), tag);
    EXPECT_EQ (folder.entries().size(), 1u);
}

TEST (SaveIdentityTest, WritableFileInAFolderWhereNoFileCanBeMadeIsSavedInPlace)
{
    TempFolder folder;
    openUp (folder);
    const std::string locked = folder.path ("locked");
    std::filesystem::create_directory (locked);
    const std::string path = locked + "/library.106";
    writeBytes (path, oldContent);
    ASSERT_EQ (::chown (path.c_str(), childUser(), childGroup()), 0);
    ::chmod (path.c_str(), 0644);
    // Root's folder is closed to nobody; without root, close our own.
    ::chmod (locked.c_str(), runningAsRoot() ? 0755 : 0555);
    const ino_t inode = statOf (path).st_ino;

    const ChildReport saved = runInChild (
        [&]
        {
            const std::string result = saveTelling (path);
            const std::string fresh = locked + "/new.106";
            const WriteResult refused = FileBytes::replaceFile (fresh, newContent.data(), newContent.size());
            return result + "|" + (refused.ok ? "made" : refused.reason);
        },
        true);
    ::chmod (locked.c_str(), 0755);
    ASSERT_TRUE (saved.finished) << saved.text;
    EXPECT_EQ (saved.text, "saved|The folder is not writable.");
    EXPECT_EQ (readBytes (path), newContent);
    EXPECT_EQ (statOf (path).st_ino, inode);
    EXPECT_EQ (std::filesystem::directory_iterator (locked)->path().filename(), "library.106");
}

TEST (SaveIdentityTest, AnotherUsersWritableFileKeepsItsOwner)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "making a file of another user needs root";
    TempFolder folder;
    openUp (folder);
    const std::string shared = folder.path ("shared");
    std::filesystem::create_directory (shared);
    ASSERT_EQ (::chown (shared.c_str(), nobodyUser, nobodyGroup), 0); // nobody may make files here
    const std::string path = shared + "/library.106";
    writeBytes (path, oldContent);
    ::chmod (path.c_str(), 0666); // root's file, writable by all
    const ino_t inode = statOf (path).st_ino;

    const ChildReport saved = runInChild ([&] { return saveTelling (path); }, true);
    ASSERT_TRUE (saved.finished) << saved.text;
    EXPECT_EQ (saved.text, "saved");
    EXPECT_EQ (readBytes (path), newContent);
    const struct stat after = statOf (path);
    EXPECT_EQ (after.st_ino, inode) << "nobody cannot give a new file to root: written in place";
    EXPECT_EQ (after.st_uid, 0u);
    EXPECT_EQ (after.st_mode & 07777, 0666u);
    EXPECT_EQ (std::filesystem::directory_iterator (shared)->path().filename(), "library.106");
}

TEST (SaveIdentityTest, WriteProtectedFileStaysProtected)
{
    TempFolder folder;
    openUp (folder);
    const std::string mine = folder.path ("mine");
    std::filesystem::create_directory (mine);
    ASSERT_EQ (::chown (mine.c_str(), childUser(), childGroup()), 0);
    const std::string path = mine + "/library.106";
    writeBytes (path, oldContent);
    ASSERT_EQ (::chown (path.c_str(), childUser(), childGroup()), 0);
    ::chmod (path.c_str(), 0444);

    const ChildReport saved = runInChild ([&] { return saveTelling (path); }, true);
    ASSERT_TRUE (saved.finished) << saved.text;
    EXPECT_EQ (saved.text, "The file is write-protected.");
    EXPECT_EQ (readBytes (path), oldContent);
}
