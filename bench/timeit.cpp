// Runs a command once and prints its wall time in seconds and its peak resident size in
// KiB (the same figure /usr/bin/time reports), measured from fork to exit without a shell
// or a second helper process in between:
//   timeit [-o OUTPUT] COMMAND [ARGS...]     (-o sends the command's standard output there)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    int first = 1;
    const char* output = nullptr;
    if (argc > 3 && std::strcmp(argv[1], "-o") == 0) {
        output = argv[2];
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: timeit [-o OUTPUT] COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(output ? output : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) ::dup2(fd, 1);
        ::execvp(argv[first], argv + first);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) < 0) return 2;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
