// The new content of a file, written where no reader sees it and put in place in one step,
// as users expect of a save:
//
// - a symbolic link is followed, so the file it names gets the content and the link stays;
//   but only where the kernel itself would follow it: another user's link in a sticky,
//   world-writable folder (as /tmp is) is refused unless that user owns the folder, so no one
//   can make our save write a file of ours that they chose; this holds for every link on the
//   way, in the folder part of the path and of each link's target as at its end;
// - likewise, an existing file in such a folder is replaced only when it is ours or the
//   folder owner's, so that no one can give us a file of theirs to fill and then change;
// - a file that exists keeps its permissions, but never a set-user-ID or set-group-ID bit,
//   and, as far as we may, its owner; a new file gets the permissions asked for, less the umask;
// - the content is an unnamed file in the target's folder until Commit() links it in, so a
//   process killed while writing leaves nothing behind;
// - where the folder cannot be written but the file can, the content waits in an unnamed file
//   elsewhere and is copied into the file at Commit(), after the space for it is reserved.
//
// The target's folder is held open from Begin() to Commit(), and every name is used relative
// to it: the file checked is the file replaced, and a target whose path is as long as Linux
// allows can be saved although a temporary's path beside it would be longer.
//
// Errors are errno values; 0 is success. Anything that ends without Commit() leaves the
// target as it was.
#pragma once

#include <string>
#include <sys/types.h>

struct stat;

class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement() { Abort(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Prepares to replace path. A target that exists must be a regular file we may write
    // (EISDIR for a folder, EACCES for anything else that is no regular file, and for a link
    // we may not follow or a file we may not replace in a shared folder).
    int Begin(const std::string& path, mode_t newFileMode);
    // The descriptor the new content is written to (and may be read back from).
    int Descriptor() const { return m_fd; }
    // Whether Commit() will copy the content into the old file rather than replace it.
    bool InPlace() const { return m_targetFd >= 0; }
    int Commit();
    void Abort();

private:
    int ResolveTarget(const std::string& path, struct stat& st, bool& exists);
    int BeginInFolder(mode_t mode);
    int BeginInPlace();
    int CommitLinked();
    int CommitInPlace();

    int m_fd = -1;
    int m_folderFd = -1;  // the target's folder; every name below is relative to it
    int m_targetFd = -1;  // only when the content is copied into the file in place
    bool m_named = false;  // a file system without unnamed files: a named temporary is used
    bool m_existed = false;
    std::string m_name;  // the target's name in its folder
    std::string m_tempName;
};

// Writes size bytes of data to the descriptor fd (a replacement's new content, an unnamed file),
// however many calls it takes; false on an error, with errno set.
bool WriteAll(int fd, const void* data, size_t size);
