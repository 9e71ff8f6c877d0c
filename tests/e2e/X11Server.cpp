#include "tests/e2e/X11Server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>

X11Server::X11Server()
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        problem = "no pipe";
        return;
    }
    // -displayfd: the server takes the first free display number and writes
    // it to the pipe once it accepts clients, which also tells us it is ready.
    X11Process::Options options;
    options.args = {"Xvfb",        "-displayfd", std::to_string(pipeEnds[1]), "-nolisten", "tcp", "-screen", "0",
                    "1024x768x24", "-noreset"};
    options.keepOpen = pipeEnds[1];
    process = std::make_unique<X11Process>(options);
    close(pipeEnds[1]);

    std::string number;
    pollfd wait{pipeEnds[0], POLLIN, 0};
    char c = 0;
    while (process->Started() && poll(&wait, 1, 20000) > 0 && read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        if (std::isdigit(static_cast<unsigned char>(c)))
            number += c;
    close(pipeEnds[0]);
    if (number.empty()) {
        problem = process->Started() ? "Xvfb did not report a display" : "Xvfb could not be started";
        process->Stop();
        return;
    }
    display = ":" + number;
}

X11Server::~X11Server()
{
    if (process)
        process->Stop();
}
