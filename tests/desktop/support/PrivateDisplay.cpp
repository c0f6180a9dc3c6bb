#include "PrivateDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace velto::test {
namespace {

// `args` as a child that ends with this process.
pid_t spawn(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct Connection {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return xcb_connection_has_error(c) == 0; }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    void sync() const { free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
};

bool windowManagerRuns(const Connection& x)
{
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
        xcb_intern_atom_reply(x.c, xcb_intern_atom(x.c, 0, sizeof name - 1, name), nullptr), &free);
    if (!atom)
        return false;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> property(
        xcb_get_property_reply(x.c, xcb_get_property(x.c, 0, x.root(), atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr),
        &free);
    return property && xcb_get_property_value_length(property.get()) > 0;
}

Connection& input()
{
    static Connection x;
    return x;
}

void fake(uint8_t type, uint8_t detail, QPoint at = {})
{
    Connection& x = input();
    xcb_test_fake_input(x.c, type, detail, XCB_CURRENT_TIME, x.root(), int16_t(at.x()), int16_t(at.y()), 0);
    x.sync();
}

}  // namespace

PrivateDisplay::PrivateDisplay(const std::string& windowManager)
{
    ok_ = startServer() && (windowManager.empty() || startWindowManager(windowManager));
}

PrivateDisplay::~PrivateDisplay()
{
    stopChild(windowManager_);  // before its X server, which goes with the members
}

bool PrivateDisplay::startServer()
{
    if (!server_.ok()) {
        error_ = "Xvfb did not start";
        return false;
    }
    setenv("DISPLAY", server_.display().c_str(), 1);
    return true;
}

bool PrivateDisplay::startWindowManager(const std::string& name)
{
    windowManager_ = spawn({name, "--sm-disable"});
    const Connection x;
    for (int i = 0; i < 500 && x.ok(); ++i) {
        if (windowManagerRuns(x))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = name + " did not start on " + server_.display();
    return false;
}

std::string windowManagerName()
{
    const char* name = std::getenv("VELTO_TEST_WM");
    return name && std::strcmp(name, "none") != 0 ? name : "";
}

void movePointer(QPoint global)
{
    fake(XCB_MOTION_NOTIFY, 0, global);
}

QPoint onScreen(unsigned long window, QPoint local)
{
    Connection& x = input();
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&free)> at(
        xcb_translate_coordinates_reply(
            x.c, xcb_translate_coordinates(x.c, xcb_window_t(window), x.root(), int16_t(local.x()), int16_t(local.y())),
            nullptr),
        &free);
    return at ? QPoint(at->dst_x, at->dst_y) : local;
}

void clickAt(QPoint global)
{
    movePointer(global);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
}

void pressAt(QPoint global)
{
    movePointer(global);
    fake(XCB_BUTTON_PRESS, 1);
}

void release()
{
    fake(XCB_BUTTON_RELEASE, 1);
}

int stackingOrder(unsigned long window)
{
    Connection& x = input();
    const xcb_window_t root = x.root();
    // Up to the child of the root that holds the window.
    xcb_window_t top = xcb_window_t(window);
    for (;;) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
            xcb_query_tree_reply(x.c, xcb_query_tree(x.c, top), nullptr), &free);
        if (!tree)
            return -1;
        if (tree->parent == root || tree->parent == XCB_WINDOW_NONE)
            break;
        top = tree->parent;
    }
    // The root's children come bottom to top.
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(x.c, xcb_query_tree(x.c, root), nullptr), &free);
    if (!tree)
        return -1;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (children[i] == top)
            return i;
    return -1;
}

}  // namespace velto::test
