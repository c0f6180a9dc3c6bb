#include "WindowSource.h"

#include <QGuiApplication>
#include <QWindow>

namespace screen_grab {
namespace {

QWindow* findWindow(int64_t id)
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && static_cast<int64_t>(window->winId()) == id)
            return window;
    }
    return nullptr;
}

class QtWindows final : public WindowSource {
public:
    std::vector<capture_source> windows() override
    {
        std::vector<capture_source> list;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            const Qt::WindowType type = window->type();
            if (!window->isVisible() || !window->handle() || (type != Qt::Window && type != Qt::Dialog))
                continue;
            list.push_back({static_cast<int64_t>(window->winId()), cleanTitle(window->title().toUtf8(), false)});
        }
        return list;
    }

    bool isViewable(int64_t id) override
    {
        QWindow* window = findWindow(id);
        return window && window->isVisible();
    }

    bool rect(int64_t id, QRect* rect) override
    {
        QWindow* window = findWindow(id);
        if (!window)
            return false;
        *rect = window->geometry();
        return true;
    }

    bool raise(int64_t id) override
    {
        QWindow* window = findWindow(id);
        if (!window)
            return false;
        window->raise();
        window->requestActivate();
        return true;
    }
};

}  // namespace

std::unique_ptr<WindowSource> makeQtWindows()
{
    return std::make_unique<QtWindows>();
}

}  // namespace screen_grab
