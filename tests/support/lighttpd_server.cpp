#include "support/lighttpd_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <sstream>

#include "support/loopback.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A port nobody listens on just now, as the system hands them out.
int FreePort() {
    LoopbackSocket probe = LoopbackSocket::Listen();
    return probe.valid() ? probe.LocalPort() : 0;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Whether the child has ended (it is then reaped).
bool Ended(pid_t pid) {
    int status;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

LighttpdServer::LighttpdServer(const std::string& root, const std::string& workDir) {
    // A port taken between the probe and the server's bind is tried again.
    for (int attempt = 0; attempt < 3 && !running(); ++attempt) Start(root, workDir);
}

LighttpdServer::~LighttpdServer() { Stop(); }

bool LighttpdServer::Start(const std::string& root, const std::string& workDir) {
    port_ = FreePort();
    if (port_ == 0) {
        failure_ = "no free loopback port";
        return false;
    }
    const std::string config = workDir + "/lighttpd.conf";
    const std::string errors = workDir + "/lighttpd-errors.log";
    std::ofstream(config) << "server.document-root = \"" << root << "\"\n"
                          << "server.bind = \"127.0.0.1\"\n"
                          << "server.port = " << port_ << "\n"
                          << "server.errorlog = \"" << errors << "\"\n"
                          << "server.max-keep-alive-requests = 0\n";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string output = workDir + "/lighttpd-output.log";
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const char* programs[] = {"/usr/sbin/lighttpd", "lighttpd"};
    int error = ENOENT;
    for (const char* program : programs) {
        char* argv[] = {const_cast<char*>(program), const_cast<char*>("-D"), const_cast<char*>("-f"),
                        const_cast<char*>(config.c_str()), nullptr};
        error = ::posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
        if (error == 0) break;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        failure_ = "lighttpd is not installed";
        return false;
    }

    // Up when it takes a connection; gone when it ended (a bad port, say).
    auto deadline = Clock::now() + NoProgressLimit();
    while (Clock::now() < deadline) {
        if (Ended(pid)) {
            failure_ = "lighttpd ended at start: " + ReadText(output) + ReadText(errors);
            return false;
        }
        if (LoopbackSocket::Connect(port_).valid()) {
            pid_ = pid;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    failure_ = "lighttpd took no connection within the wait";
    return false;
}

void LighttpdServer::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    auto deadline = Clock::now() + NoProgressLimit();
    while (!Ended(pid_)) {
        if (Clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}
