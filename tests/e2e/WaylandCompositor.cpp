#include "tests/e2e/WaylandCompositor.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uid_t Nobody = 65534;

std::string TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "strumkey-wayland-XXXXXX").string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The first entry of the folder whose name starts with prefix and is a socket.
std::string SocketIn(const std::string& folder, const std::string& prefix)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && entry.is_socket(error))
            return entry.path();
    return {};
}

}  // namespace

WaylandCompositor::WaylandCompositor(const std::string& keyboardDriver)
{
    serverFolder = TempFolder();
    clientFolder = TempFolder();
    if (serverFolder.empty() || clientFolder.empty()) {
        problem = "no temp folder";
        return;
    }
    const bool root = geteuid() == 0;
    if (root && chown(serverFolder.c_str(), Nobody, Nobody) != 0) {
        problem = "cannot hand " + serverFolder + " to nobody";
        return;
    }
    const std::string config = serverFolder + "/config";
    std::ofstream(config) << "output HEADLESS-1 resolution 1024x768\n";
    chmod(config.c_str(), 0644);

    X11Process::Options options;
    // A change of user clears the parent-death signal that ends the child
    // with the test: setpriv sets it again.
    if (root)
        options.args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--pdeathsig", "SIGTERM"};
    options.args.insert(options.args.end(), {"sway", "--config", config});
    options.env = {"XDG_RUNTIME_DIR=" + serverFolder, "HOME=" + serverFolder, "WLR_BACKENDS=headless",
                   "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"};
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"};
    options.output = clientFolder + "/sway.log";
    process = std::make_unique<X11Process>(options);

    // Ready once both of its sockets are there.
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (process->Running() && std::chrono::steady_clock::now() < end && (socket.empty() || commandSocket.empty())) {
        std::this_thread::sleep_for(20ms);
        socket = SocketIn(serverFolder, "wayland-");
        commandSocket = SocketIn(serverFolder, "sway-ipc");
    }
    if (socket.empty() || commandSocket.empty()) {
        std::ifstream log(options.output);
        problem = "sway did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
        socket.clear();
        return;
    }
    X11Process::Options keyboardOptions;
    keyboardOptions.args = {keyboardDriver, "layout", "us", "await", clientFolder + "/never"};
    keyboardOptions.env = Environment();
    keyboard = std::make_unique<X11Process>(keyboardOptions);
}

WaylandCompositor::~WaylandCompositor()
{
    if (keyboard)
        keyboard->Stop();
    if (process)
        process->Stop();
    std::error_code ignored;
    if (!serverFolder.empty())
        fs::remove_all(serverFolder, ignored);
    if (!clientFolder.empty())
        fs::remove_all(clientFolder, ignored);
}

std::vector<std::string> WaylandCompositor::Environment() const
{
    return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + clientFolder, "QT_QPA_PLATFORM=wayland"};
}

int WaylandCompositor::Command(const std::string& command, std::string* output) const
{
    X11Process::Options options;
    options.args = {"swaymsg", "--socket", commandSocket, command};
    return X11Process::Run(options, output);
}

std::string WaylandCompositor::FocusedAppId() const
{
    X11Process::Options options;
    options.args = {"swaymsg", "--socket", commandSocket, "--raw", "--type", "get_tree"};
    std::string tree;
    if (X11Process::Run(options, &tree) != 0)
        return {};
    // The focused node is the only one with "focused": true; a window's
    // app_id follows in the same object, before the next node's "type".
    const std::size_t focused = tree.find("\"focused\": true");
    if (focused == std::string::npos)
        return {};
    const std::size_t id = tree.find("\"app_id\": \"", focused);
    if (id == std::string::npos || id > tree.find("\"type\":", focused))
        return {};
    const std::size_t start = id + 11;
    return tree.substr(start, tree.find('"', start) - start);
}
