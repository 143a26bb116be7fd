// A lighttpd from the system, serving a folder on 127.0.0.1 at a port of its
// own: a server that holds requests to the letter of HTTP (it refuses lines
// that end in a bare line feed, say). Started in the foreground as a child
// and stopped by its process id.
#pragma once

#include <string>
#include <sys/types.h>

class LighttpdServer {
public:
    // Serves `root`; `workDir` takes the configuration and the server's logs.
    LighttpdServer(const std::string& root, const std::string& workDir);
    ~LighttpdServer();
    LighttpdServer(const LighttpdServer&) = delete;
    LighttpdServer& operator=(const LighttpdServer&) = delete;

    // Whether the server runs and takes connections; when not, why.
    bool running() const { return pid_ > 0; }
    const std::string& failure() const { return failure_; }
    int port() const { return port_; }

private:
    bool Start(const std::string& root, const std::string& workDir);
    void Stop();

    pid_t pid_ = -1;
    int port_ = 0;
    std::string failure_;
};
