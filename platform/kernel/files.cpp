// Files, directories and temporary names over POSIX file descriptors.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "kernel/kernel_objects.h"
#include "platform/files.h"
#include "platform/kernel.h"

namespace {

struct FileObject : KernelObject {
    FileObject(int descriptor, bool read, bool write) : fd(descriptor), canRead(read), canWrite(write) {}
    ~FileObject() override {
        if (fd >= 0) ::close(fd);
    }
    int fd;
    // The access asked for: a handle opened for neither (a query) reads and
    // writes nothing, though its descriptor is open for reading.
    bool canRead;
    bool canWrite;
};

FileObject* AsFile(const std::shared_ptr<KernelObject>& object) { return dynamic_cast<FileObject*>(object.get()); }

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EBADF: return ERROR_ACCESS_DENIED;  // a handle not opened for this
        case EEXIST: return ERROR_FILE_EXISTS;
        case EAGAIN: return ERROR_NO_DATA;  // a read that would have waited
        default: return ERROR_INVALID_PARAMETER;
    }
}

// As above for a call on `path`: a name in a folder that is not there is a
// missing path (3), not a missing file (2).
DWORD ErrorFromErrno(int error, const std::string& path) {
    if (error != ENOENT) return ErrorFromErrno(error);
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
    struct stat st {};
    return ::stat(path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                 : ERROR_PATH_NOT_FOUND;
}

// Copies `text` into a caller's buffer as the Win32 calls do: returns the
// length written, or the size needed (with the terminator) when it does not fit.
DWORD CopyOut(const std::string& text, DWORD bufferLength, LPSTR buffer) {
    if (buffer == nullptr || bufferLength <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

bool SyncFolderOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Filesystems whose regular files are the kernel's own, made as they are
// read: a read may wait for ever (/proc/kmsg for the next kernel message, a
// trace pipe for the next event) although stat calls the file plain.
bool OnKernelFilesystem(const struct statfs& fs) {
    constexpr std::uint32_t kConfigfs = 0x62656570, kFusectl = 0x65735543, kRpcPipefs = 0x67596969;
    switch (static_cast<std::uint32_t>(fs.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case kConfigfs:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case RDTGROUP_SUPER_MAGIC:
        case BPF_FS_MAGIC:
        case PSTOREFS_MAGIC:
        case EFIVARFS_MAGIC:
        case SELINUX_MAGIC:
        case SMACK_MAGIC:
        case AAFS_MAGIC:
        case BINFMTFS_MAGIC:
        case XENFS_SUPER_MAGIC:
        case OPENPROM_SUPER_MAGIC:
        case USBDEVICE_SUPER_MAGIC:
        case BINDERFS_SUPER_MAGIC:
        case kFusectl:
        case kRpcPipefs: return true;
        default: return false;
    }
}

// Whether what was looked at is refused: a folder always; for a descriptor
// that can read, anything but a plain file of stored bytes.
bool Refused(const struct stat& st, const struct statfs& fs, bool forReading) {
    return S_ISDIR(st.st_mode) || (forReading && (!S_ISREG(st.st_mode) || OnKernelFilesystem(fs)));
}

// Opens `path` without ever waiting on it: a pipe with no writer, a device,
// a socket or a kernel file would hold a reader forever (or hand it endless
// bytes), so a descriptor that can read (a query's too) opens only a plain
// file, and no other kind is even opened. A folder never opens. The
// descriptor, or -1 with errno and the last error set.
int OpenWithoutWaiting(const std::string& path, int flags) {
    const bool forReading = (flags & O_ACCMODE) != O_WRONLY;
    const auto refuse = [] {
        SetLastError(ERROR_ACCESS_DENIED);
        errno = EACCES;
        return -1;
    };
    struct stat st {};
    struct statfs fs {};
    if (::stat(path.c_str(), &st) == 0) {
        if (forReading) ::statfs(path.c_str(), &fs);
        if (Refused(st, fs, forReading)) return refuse();
    }
    // What the name stands for may change between the look and the open:
    // the open itself does not wait, and what it opened is looked at again.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        const int error = errno;
        SetLastError(ErrorFromErrno(error, path));
        errno = error;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || (forReading && ::fstatfs(fd, &fs) != 0) || Refused(st, fs, forReading)) {
        ::close(fd);
        return refuse();
    }
    // A plain file opened for reading keeps O_NONBLOCK, which files on disk
    // ignore: should a filesystem not named above ever make a read wait, it
    // fails at once instead. A file opened only for writing may be a pipe,
    // whose writes must wait for room rather than fail.
    if (!forReading) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

std::FILE* PlatformFOpen(const char* windowsPath, const char* mode) {
    if (windowsPath == nullptr || mode == nullptr) return nullptr;
    const std::string text = mode;
    const bool update = text.find('+') != std::string::npos;
    int flags = O_CLOEXEC;
    switch (text.empty() ? '\0' : text[0]) {
        case 'r': flags |= update ? O_RDWR : O_RDONLY; break;
        case 'w': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
        case 'a': flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
        default: errno = EINVAL; return nullptr;
    }
    if (text.find('x') != std::string::npos) flags |= O_EXCL;
    const int fd = OpenWithoutWaiting(PlatformTranslatePath(windowsPath), flags);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return file;
}

int OpenPlainFileForReading(const char* nativePath) {
    if (nativePath == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        errno = EINVAL;
        return -1;
    }
    return OpenWithoutWaiting(nativePath, O_RDONLY | O_CLOEXEC);
}

bool PlatformFlushToDisk(std::FILE* file) {
    return file != nullptr && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, void*, DWORD creation, DWORD, HANDLE) {
    if (fileName == nullptr || *fileName == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = PlatformTranslatePath(fileName);
    int flags = O_CLOEXEC;
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (creation) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    const int fd = OpenWithoutWaiting(path, flags);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    SetLastError(ERROR_SUCCESS);
    return AddKernelObject(std::make_shared<FileObject>(fd, read, write));
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    if (bytesRead != nullptr) *bytesRead = 0;
    auto object = FindKernelObject(handle);
    FileObject* file = AsFile(object);
    if (file == nullptr || (buffer == nullptr && bytesToRead > 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!file->canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytesToRead) {
        ssize_t got = ::read(file->fd, out + total, bytesToRead - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            SetLastError(ErrorFromErrno(errno));
            if (bytesRead != nullptr) *bytesRead = total;
            return FALSE;
        }
        if (got == 0) break;
        total += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr) *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    auto object = FindKernelObject(handle);
    FileObject* file = AsFile(object);
    if (file == nullptr || (buffer == nullptr && bytesToWrite > 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD total = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (total < bytesToWrite) {
        ssize_t put = ::write(file->fd, in + total, bytesToWrite - total);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            SetLastError(ErrorFromErrno(errno));
            if (bytesWritten != nullptr) *bytesWritten = total;
            return FALSE;
        }
        total += static_cast<DWORD>(put);
    }
    if (bytesWritten != nullptr) *bytesWritten = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    auto object = FindKernelObject(handle);
    FileObject* file = AsFile(object);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t offset = distance;
    if (distanceHigh != nullptr)
        offset = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                           static_cast<std::uint32_t>(distance));
    int whence = moveMethod == FILE_BEGIN ? SEEK_SET : moveMethod == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t result = ::lseek(file->fd, offset, whence);
    if (result < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(result) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(result);
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    auto object = FindKernelObject(handle);
    FileObject* file = AsFile(object);
    struct stat st {};
    if (file == nullptr || ::fstat(file->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL DeleteFileA(LPCSTR fileName) {
    if (fileName == nullptr) return FALSE;
    const std::string path = PlatformTranslatePath(fileName);
    if (::unlink(path.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, path));
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags) {
    if (existingName == nullptr || newName == nullptr) return FALSE;
    std::string from = PlatformTranslatePath(existingName);
    std::string to = PlatformTranslatePath(newName);
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && ::access(to.c_str(), F_OK) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        SetLastError(::access(from.c_str(), F_OK) != 0 ? ErrorFromErrno(error, from) : ErrorFromErrno(error, to));
        return FALSE;
    }
    // A rename lives in its folder: writing the folder through keeps it.
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0 && !SyncFolderOf(to)) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, void*) {
    if (pathName == nullptr) return FALSE;
    const std::string path = PlatformTranslatePath(pathName);
    if (::mkdir(path.c_str(), 0755) != 0) {
        // A missing parent folder is a missing path.
        SetLastError(errno == EEXIST   ? ERROR_ALREADY_EXISTS
                     : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                       : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    if (fileName == nullptr) return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    const std::string path = PlatformTranslatePath(fileName);
    if (::stat(path.c_str(), &st) != 0) {
        SetLastError(ErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char native[4096];
    if (::getcwd(native, sizeof native) == nullptr) return 0;
    return CopyOut(PlatformWindowsPath(native), bufferLength, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) {
    if (pathName == nullptr) return FALSE;
    const std::string path = PlatformTranslatePath(pathName);
    if (::chdir(path.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, path));
        return FALSE;
    }
    return TRUE;
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    const char* dir = std::getenv("TMPDIR");
    std::string native = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    if (native.back() != '/') native += '/';
    return CopyOut(PlatformWindowsPath(native), bufferLength, buffer);
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) return 0;
    std::string dir = pathName;
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    std::string pre = prefix != nullptr ? std::string(prefix).substr(0, 3) : std::string();
    static unsigned counter = static_cast<unsigned>(::getpid());
    for (int attempt = 0; attempt < 65535; ++attempt) {
        UINT number = unique != 0 ? unique : ((++counter) & 0xFFFF);
        if (number == 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, "%s%X.tmp", pre.c_str(), number);
        std::string full = dir + name;
        if (full.size() >= MAX_PATH) return 0;
        if (unique != 0) {
            std::memcpy(tempFileName, full.c_str(), full.size() + 1);
            return unique;
        }
        int fd = ::open(PlatformTranslatePath(full.c_str()).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(tempFileName, full.c_str(), full.size() + 1);
            return number;
        }
        if (errno != EEXIST) return 0;
    }
    return 0;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
    char native[4096];
    ssize_t n = ::readlink("/proc/self/exe", native, sizeof native - 1);
    if (n <= 0) return 0;
    native[n] = '\0';
    std::string path = PlatformWindowsPath(native);
    if (fileName == nullptr || size == 0) return 0;
    // Truncates like the original: the length copied, without the terminator.
    DWORD copy = static_cast<DWORD>(path.size() < size ? path.size() : size - 1);
    std::memcpy(fileName, path.c_str(), copy);
    fileName[copy] = '\0';
    return copy;
}

HMODULE GetModuleHandleA(LPCSTR) {
    static char instance;
    return reinterpret_cast<HMODULE>(&instance);
}
