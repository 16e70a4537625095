#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lnd {

namespace {

IoResult failure(const std::string& what, const std::string& path, int err) {
    return {false, what + " " + path + ": " + std::strerror(err)};
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

IoResult readWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes) {
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
        return {false, "not a regular file: " + path};
    }
    if (std::uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return {false, "file too large (" + std::to_string(st.st_size) + " bytes): " + path};
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

IoResult writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data) {
    std::string tmpl = directoryOf(path) + "/.lnd-save-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return failure("cannot create a temporary file for", path, errno);
    const std::string tmp(name.data());

    auto abandon = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return failure(what, path, err);
    };

    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon("cannot write", n < 0 ? errno : EIO);
        done += std::size_t(n);
    }
    // Keep the permissions of the file we replace; a new file gets the usual 0666 & ~umask.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (::fsync(fd) != 0) return abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return failure("cannot close", path, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return failure("cannot replace", path, err);
    }
    return {};
}

}  // namespace lnd
