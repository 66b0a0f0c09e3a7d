#include "TempTree.h"

#include "platform/FileServices.h"

#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::test {

TempTree::TempTree() {
    std::string pattern = platform::temporaryDirectory() + "/brisklet-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
}

TempTree::~TempTree() { removeTree(m_root); }

std::string TempTree::path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

std::string TempTree::makeDir(const std::string& relative) {
    const std::string p = path(relative);
    if (!platform::createDirectories(p))
        throw std::runtime_error("cannot create " + p);
    return p;
}

namespace {

void makeParent(const std::string& p) {
    const std::string parent = platform::parentPath(p);
    if (!parent.empty() && !platform::createDirectories(parent))
        throw std::runtime_error("cannot create " + parent);
}

} // namespace

std::string TempTree::writeFile(const std::string& relative, const std::string& contents) {
    const std::string p = path(relative);
    makeParent(p);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot write " + p);
    const bool ok = ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    ::close(fd);
    if (!ok)
        throw std::runtime_error("short write to " + p);
    return p;
}

std::string TempTree::writeFileOfSize(const std::string& relative, std::int64_t bytes) {
    return writeFile(relative, std::string(static_cast<std::size_t>(bytes), 'x'));
}

std::string TempTree::writeSparseFile(const std::string& relative, std::int64_t length) {
    const std::string p = path(relative);
    makeParent(p);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, length) != 0)
        throw std::runtime_error("cannot create sparse " + p);
    ::close(fd);
    return p;
}

std::string TempTree::symlink(const std::string& relative, const std::string& target) {
    const std::string p = path(relative);
    makeParent(p);
    if (::symlink(target.c_str(), p.c_str()) != 0)
        throw std::runtime_error("cannot symlink " + p);
    return p;
}

std::string TempTree::hardlink(const std::string& relative, const std::string& existingRelative) {
    const std::string p = path(relative);
    makeParent(p);
    if (::link(path(existingRelative).c_str(), p.c_str()) != 0)
        throw std::runtime_error("cannot link " + p);
    return p;
}

void removeTree(const std::string& path) {
    if (path.empty() || path == "/")
        return;
    // Give every folder back its permissions first, so nothing stays behind.
    nftw(
        path.c_str(),
        [](const char* p, const struct stat* st, int type, FTW*) {
            if (type == FTW_D || type == FTW_DNR)
                ::chmod(p, (st->st_mode & 07777) | 0700);
            return 0;
        },
        32, FTW_PHYS);
    nftw(
        path.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p) == 0 ? 0 : 0; }, 32,
        FTW_PHYS | FTW_DEPTH);
}

void makeFolderChain(const std::string& folder, int depth) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        throw std::runtime_error("cannot make the folder chain below " + folder);
    ::close(fd);
}

void removeFolderChain(const std::string& folder, int depth) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int reached = 0;
    for (int next; reached < depth && (next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0; ++reached) {
        ::close(fd);
        fd = next;
    }
    for (; reached > 0 && fd >= 0; --reached) {
        const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = up;
        if (fd >= 0)
            ::unlinkat(fd, "d", AT_REMOVEDIR);
    }
    if (fd >= 0)
        ::close(fd);
}

void onSmallStack(const std::function<void()>& work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 128 * 1024);
    pthread_t thread;
    const auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    const bool started = pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)) == 0;
    pthread_attr_destroy(&attributes);
    if (!started)
        throw std::runtime_error("cannot start a thread");
    pthread_join(thread, nullptr);
}

bool canMount() { return geteuid() == 0; }

} // namespace brisklet::test
