#include "base/file_io.h"
#include "base/file_io_faults.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lnd {

// ---- Fault injection --------------------------------------------------------------------

namespace {

struct Fault {
    IoStep step;
    int nth;
    int err;
};

struct FaultState {
    bool environmentRead = false;
    std::vector<Fault> armed;
    std::array<int, kIoStepCount> calls{};
};

FaultState& faults() {
    static FaultState state;
    return state;
}

void readEnvironmentFault() {
    FaultState& f = faults();
    if (f.environmentRead) return;
    f.environmentRead = true;
    const char* text = std::getenv("LND_TEST_IO_FAULT");
    IoStep step;
    int nth = 0, err = 0;
    if (text != nullptr && parseIoFault(text, step, nth, err)) f.armed.push_back({step, nth, err});
}

// Counts a call of `step`; true (with errno set) when this call is the one to fail.
bool injected(IoStep step) {
    FaultState& f = faults();
    const int n = ++f.calls[std::size_t(step)];
    for (const Fault& fault : f.armed) {
        if (fault.step == step && fault.nth == n) {
            errno = fault.err;
            return true;
        }
    }
    return false;
}

}  // namespace

const char* ioStepName(IoStep step) {
    switch (step) {
    case IoStep::CreateTemp: return "create";
    case IoStep::Write: return "write";
    case IoStep::Flush: return "flush";
    case IoStep::Sync: return "sync";
    case IoStep::Rename: return "rename";
    }
    return "unknown";
}

void injectIoFault(IoStep step, int nth, int err) {
    FaultState& f = faults();
    f.environmentRead = true;
    f.armed.push_back({step, nth, err});
}

void clearIoFaults() {
    FaultState& f = faults();
    f = FaultState{};
    f.environmentRead = true;
}

int ioStepCalls(IoStep step) { return faults().calls[std::size_t(step)]; }

bool parseIoFault(const std::string& text, IoStep& step, int& nth, int& err) {
    const auto c1 = text.find(':');
    const auto c2 = c1 == std::string::npos ? c1 : text.find(':', c1 + 1);
    if (c2 == std::string::npos) return false;
    const std::string name = text.substr(0, c1), count = text.substr(c1 + 1, c2 - c1 - 1),
                      code = text.substr(c2 + 1);
    bool found = false;
    for (int s = 0; s < kIoStepCount; ++s) {
        if (name == ioStepName(IoStep(s))) {
            step = IoStep(s);
            found = true;
        }
    }
    if (!found || count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
        count.size() > 9)
        return false;
    nth = std::atoi(count.c_str());
    if (code == "ENOSPC") err = ENOSPC;
    else if (code == "EIO") err = EIO;
    else if (code == "EACCES") err = EACCES;
    else if (code == "EROFS") err = EROFS;
    else if (!code.empty() && code.size() < 5 && code.find_first_not_of("0123456789") == std::string::npos)
        err = std::atoi(code.c_str());
    else
        return false;
    return nth > 0 && err > 0;
}

std::string lowerExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// ---- Reading ----------------------------------------------------------------------------

namespace {

Result failure(const std::string& what, const std::string& path, int err) {
    return Result::failure(Status::IoFailed, what + " " + path + ": " + std::strerror(err), err);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

Result readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failure("cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return failure("cannot inspect", path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::failure(Status::BadInput, "not a regular file: " + path);
    }
    if (std::uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return Result::failure(Status::BadInput, "file too large (" + std::to_string(st.st_size) + " bytes): " + path);
    }
    out.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            out.clear();
            return failure("cannot read", path, err);
        }
        if (n == 0) break;  // the file shrank while we read it
        done += std::size_t(n);
    }
    out.resize(done);
    ::close(fd);
    return {};
}

// ---- Writing ----------------------------------------------------------------------------

namespace {

// The file a save really replaces: symbolic links followed to their last target, so the
// link itself survives the rename. A path that is no link comes back unchanged.
std::string finalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size() - 1);
        if (n < 0) return current;
        const std::string link(buf.data(), std::size_t(n));
        current = !link.empty() && link[0] == '/' ? link : directoryOf(current) + "/" + link;
    }
    return current;   // a loop: let the open fail on it
}

// Writes all of `data` at the file's position in pieces of kWriteChunkBytes. 0 or an errno.
int writeAll(int fd, std::span<const std::uint8_t> data, bool countFaults) {
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t piece = std::min(kWriteChunkBytes, data.size() - done);
        if (countFaults && injected(IoStep::Write)) return errno;
        const ssize_t n = ::write(fd, data.data() + done, piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += std::size_t(n);
    }
    return 0;
}

int syncFile(int fd) {
    if (injected(IoStep::Sync)) return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int closeFile(int fd) {
    if (injected(IoStep::Flush)) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

// Overwrites an existing file whose directory takes no new files. Its previous bytes are kept
// in memory and written back should any step fail, so the file is either old or new.
Result writeInPlace(const std::string& target, const std::string& shownPath, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> previous;
    if (Result r = readWholeFile(target, previous); !r)
        return r.within("cannot keep the previous contents of " + shownPath);
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return failure("cannot open for writing", shownPath, errno);

    int err = writeAll(fd, data, true);
    if (err == 0 && ::ftruncate(fd, off_t(data.size())) != 0) err = errno;
    if (err == 0) err = syncFile(fd);
    if (err == 0) {
        err = closeFile(fd);
        if (err == 0) return {};
        // A failed close may have lost data: reopen to put the old bytes back.
        const int again = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (again < 0) return failure("cannot write (and cannot restore)", shownPath, err);
        if (::lseek(again, 0, SEEK_SET) == 0 && writeAll(again, previous, false) == 0)
            (void)::ftruncate(again, off_t(previous.size()));
        ::fsync(again);
        ::close(again);
        return failure("cannot write", shownPath, err);
    }
    if (::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, previous, false) == 0)
        (void)::ftruncate(fd, off_t(previous.size()));
    ::fsync(fd);
    ::close(fd);
    return failure("cannot write", shownPath, err);
}

}  // namespace


Result writeFilesAtomic(std::span<const FileToWrite> files) {
    struct Previous {
        bool existed = false;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Previous> previous;
    previous.reserve(files.size());
    for (const FileToWrite& f : files) {
        Previous p;
        std::error_code ec;
        p.existed = std::filesystem::exists(f.path, ec);
        if (std::filesystem::is_directory(f.path, ec))
            return Result::failure(Status::CannotCreate, "cannot replace " + f.path + ": it is a directory");
        if (p.existed) {
            // Without the old bytes a failure half-way could not be undone: refuse up front.
            if (Result r = readWholeFile(f.path, p.bytes); !r) return r;
        }
        previous.push_back(std::move(p));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        Result r = writeFileAtomic(files[i].path, files[i].data);
        if (r) continue;
        for (std::size_t k = i; k-- > 0;) {
            if (previous[k].existed) {
                // Best effort: the failure that stopped the set is the one reported.
                (void)writeFileAtomic(files[k].path, previous[k].bytes);
            } else {
                std::error_code ec;
                std::filesystem::remove(files[k].path, ec);
            }
        }
        return r;
    }
    return {};
}

Result writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data) {
    readEnvironmentFault();
    const std::string target = finalTarget(path);

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Result::failure(Status::CannotCreate, "cannot replace " + path + ": it is a directory");

    std::string tmpl = directoryOf(target) + "/.lnd-save-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = injected(IoStep::CreateTemp) ? -1 : ::mkstemp(name.data());
    if (fd < 0) {
        const int err = errno;
        const bool refused = err == EACCES || err == EPERM || err == EDQUOT || err == ENOSPC;
        if (refused && exists && S_ISREG(st.st_mode) && ::access(target.c_str(), W_OK) == 0)
            return writeInPlace(target, path, data);
        return Result::failure(Status::CannotCreate,
                               "cannot create a temporary file for " + path + ": " + std::strerror(err), err);
    }
    const std::string tmp(name.data());

    auto abandon = [&](const char* what, int err, bool open) {
        if (open) ::close(fd);
        ::unlink(tmp.c_str());
        return failure(what, path, err);
    };

    // Keep the owner (where we may) and permissions of the file we replace; a new file gets
    // the usual 0666 & ~umask.
    if (exists) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) (void)!::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (int err = writeAll(fd, data, true); err != 0) return abandon("cannot write", err, true);
    if (int err = syncFile(fd); err != 0) return abandon("cannot flush", err, true);
    if (int err = closeFile(fd); err != 0) return abandon("cannot close", err, false);
    if (injected(IoStep::Rename) || ::rename(tmp.c_str(), target.c_str()) != 0)
        return abandon("cannot replace", errno, false);

    // The rename itself reaches the disk with the directory.
    const int dir = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

}  // namespace lnd
