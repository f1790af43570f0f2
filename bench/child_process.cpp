#include "bench/child_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/native/unique_fd.h"

extern char** environ;

namespace bench {
namespace {

// Both ends of a pipe, closed when they go out of use.
class Pipe {
  public:
    Pipe() {
        int ends[2];
        if (::pipe(ends) == 0) {
            read_.reset(ends[0]);
            write_.reset(ends[1]);
        }
    }

    bool Valid() const { return static_cast<bool>(read_); }
    int Read() const { return read_.get(); }
    int Write() const { return write_.get(); }
    void CloseRead() { read_.reset(); }
    void CloseWrite() { write_.reset(); }

  private:
    UniqueFd read_;
    UniqueFd write_;
};

// posix_spawn's file actions, destroyed on every path.
class SpawnActions {
  public:
    SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

std::optional<ChildResult> RunSelf(const std::vector<std::string>& arguments) {
    Pipe output;
    if (!output.Valid()) {
        return std::nullopt;
    }
    SpawnActions actions;
    ::posix_spawn_file_actions_adddup2(actions.get(), output.Write(), STDOUT_FILENO);
    ::posix_spawn_file_actions_addclose(actions.get(), output.Read());
    ::posix_spawn_file_actions_addclose(actions.get(), output.Write());

    const std::string program = "/proc/self/exe";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t child = 0;
    if (::posix_spawn(&child, program.c_str(), actions.get(), nullptr, argv.data(), environ) != 0) {
        return std::nullopt;
    }
    output.CloseWrite();

    ChildResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(output.Read(), buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace bench
