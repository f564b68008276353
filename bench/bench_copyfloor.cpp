// The least a folder copy with an 8,192-byte buffer can cost: the tree copied
// with open, read, write, close and the times set, nothing else (no names
// shown, no events, no list of what was made). The installer's folder copy
// keeps that buffer, so this is its floor against cp -r.
//   bench_copyfloor SOURCE TARGET    prints "seconds S"
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool copyFile(int fromDir, int toDir, const char *name)
{
    const int in = openat(fromDir, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return false;
    const int out = openat(toDir, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    bool ok = out >= 0;
    alignas(4096) char buffer[8192]; // on a page, as the installer's buffer is
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = write(out, buffer, size_t(n)) == n;
    }
    struct stat st;
    if (ok && fstat(in, &st) == 0) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ok = futimens(out, times) == 0;
    }
    if (out >= 0)
        close(out);
    close(in);
    return ok;
}

bool copyTree(int fromDir, int toDir)
{
    DIR *d = fdopendir(fromDir);
    if (!d)
        return false;
    bool ok = true;
    while (dirent *e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        if (e->d_type == DT_DIR) {
            if (mkdirat(toDir, e->d_name, 0755) != 0 && errno != EEXIST)
                return closedir(d), false;
            const int from = openat(dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            const int to = openat(toDir, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            ok = from >= 0 && to >= 0 && copyTree(from, to);
            if (to >= 0)
                close(to);
            if (!ok)
                break;
        } else if (e->d_type == DT_REG) {
            if (!(ok = copyFile(dirfd(d), toDir, e->d_name)))
                break;
        }
    }
    closedir(d); // closes fromDir
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_copyfloor SOURCE TARGET\n");
        return 2;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const int from = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = mkdir(argv[2], 0755) == 0 && from >= 0
        && copyTree(from, open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    if (!ok) {
        std::fprintf(stderr, "bench_copyfloor: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("seconds %.6f\n", took.count());
    return 0;
}
