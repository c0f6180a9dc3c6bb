#include "XcbGrabber.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <libyuv/convert.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velto_media {

namespace {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw)
{
    return Reply<T>(raw, &std::free);
}

// The RandR monitors, the primary first, each clipped to the root; the root itself when there are none.
// The root's size is asked for, not taken from the connection's setup: it changes with the resolution.
std::vector<Rect> screenRects(xcb_connection_t* connection, const xcb_screen_t* screen)
{
    auto root = reply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, screen->root), nullptr));
    if (!root)
        return {};
    const Rect whole{0, 0, root->width, root->height};
    std::vector<Rect> rects;
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection, &xcb_randr_id);
    if (randr && randr->present) {
        auto version =
            reply(xcb_randr_query_version_reply(connection, xcb_randr_query_version(connection, 1, 5), nullptr));
        if (version && (version->major_version > 1 || version->minor_version >= 5)) {
            auto monitors = reply(
                xcb_randr_get_monitors_reply(connection, xcb_randr_get_monitors(connection, screen->root, 1), nullptr));
            if (monitors) {
                for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
                     xcb_randr_monitor_info_next(&it)) {
                    Rect r;
                    r.x = std::max(0, int(it.data->x));
                    r.y = std::max(0, int(it.data->y));
                    r.width = std::min(whole.width, it.data->x + it.data->width) - r.x;
                    r.height = std::min(whole.height, it.data->y + it.data->height) - r.y;
                    if (r.width < 2 || r.height < 2)
                        continue;
                    if (it.data->primary)
                        rects.insert(rects.begin(), r);
                    else
                        rects.push_back(r);
                }
            }
        }
    }
    if (rects.empty())
        rects.push_back(whole);
    return rects;
}

int bitsPerPixel(const xcb_setup_t* setup, uint8_t depth)
{
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel;
    return 0;
}

// X's 32-bit pixels in little-endian order are B, G, R, X in memory: libyuv's "ARGB". Rows [top, bottom) of
// `bgrx` (`top` and `bottom` even, or `bottom` the height) into the same rows of `frame`.
void convertRows(const uint8_t* bgrx, VideoFrame& frame, int top, int bottom)
{
    const int width = frame.width;
    const size_t stride = size_t(width) * 4;
    libyuv::ARGBToI420(bgrx + top * stride, int(stride), frame.y.data() + size_t(top) * width, width,
                       frame.u.data() + size_t(top / 2) * (width / 2), width / 2,
                       frame.v.data() + size_t(top / 2) * (width / 2), width / 2, width, bottom - top);
}

// What a left-out window shows instead: a plain dark grey, B, G, R, X.
constexpr uint8_t kLeftOutFill[4] = {0x30, 0x30, 0x30, 0xff};

}  // namespace

struct XcbGrabber::State {
    xcb_connection_t* connection = nullptr;
    const xcb_setup_t* setup = nullptr;
    bool wholeScreen = false;
    xcb_drawable_t drawable = 0;
    const xcb_screen_t* screen = nullptr;
    size_t screenIndex = 0;  // wholeScreen only
    Rect screenRect;         // wholeScreen only, read again when a grab fails (the layout changed)
    xcb_window_t leftOut = 0;  // wholeScreen only: filled over in every picture while it is viewable
    bool shm = false;         // the server can share memory with us
    bool lastShared = false;  // the last picture came that way
    xcb_shm_seg_t segment = 0;
    uint8_t* shared = nullptr;  // attached to the server as `segment`
    size_t sharedSize = 0;
    // The last picture, as the server gave it and as handed out: a new grab
    // is compared with it row by row (far cheaper than converting it, let
    // alone encoding it) and only the rows that changed are converted.
    std::vector<uint8_t> previous;
    std::shared_ptr<const VideoFrame> last;

    ~State()
    {
        releaseShared();
        if (connection)
            xcb_disconnect(connection);
    }

    void releaseShared()
    {
        if (!shared)
            return;
        xcb_shm_detach(connection, segment);
        xcb_flush(connection);
        shmdt(shared);
        shared = nullptr;
        sharedSize = 0;
    }

    // Memory for `size` bytes shared with the server; false (and plain GetImage from now on) when the server
    // cannot attach it (a server on another machine).
    bool ensureShared(size_t size)
    {
        if (shared && sharedSize >= size)
            return true;
        releaseShared();
        int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return shm = false;
        void* address = shmat(id, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return shm = false;
        }
        segment = xcb_generate_id(connection);
        xcb_generic_error_t* error = xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, 0));
        // Marked for removal now: the segment goes away with the last detach, even after a crash.
        shmctl(id, IPC_RMID, nullptr);
        if (error) {
            std::free(error);
            shmdt(address);
            return shm = false;
        }
        shared = static_cast<uint8_t*>(address);
        sharedSize = size;
        return true;
    }

    // The left-out window's place, asked before the pixels are (the three requests travel with the image's)
    // and read after them.
    struct LeftOutCookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
    };

    LeftOutCookies askLeftOut() const
    {
        const xcb_window_t shown = shownWindowOf(leftOut);
        return {xcb_get_window_attributes(connection, shown), xcb_get_geometry(connection, shown),
                xcb_translate_coordinates(connection, shown, screen->root, 0, 0)};
    }

    // A window manager puts a managed window into a frame of its own, whose
    // title bar names the window: the frame (the root's child that holds the
    // window) is what shows. Asked at each grab, since the frame comes and goes
    // with the window manager's handling.
    xcb_window_t shownWindowOf(xcb_window_t window) const
    {
        for (int level = 0; level < 8; ++level) {
            xcb_generic_error_t* error = nullptr;
            auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), &error));
            std::free(error);
            if (!tree || tree->parent == screen->root || tree->parent == XCB_NONE)
                break;
            window = tree->parent;
        }
        return window;
    }

    // The left-out window's rectangle (border included) in the coordinates of `r`, clipped to it; empty when it
    // is not viewable or gone.
    Rect leftOutIn(const LeftOutCookies& cookies, const Rect& r) const
    {
        // Errors are taken here: a window that went away must not fill the connection's event queue.
        xcb_generic_error_t* error = nullptr;
        auto attributes = reply(xcb_get_window_attributes_reply(connection, cookies.attributes, &error));
        std::free(error);
        error = nullptr;
        auto geometry = reply(xcb_get_geometry_reply(connection, cookies.geometry, &error));
        std::free(error);
        error = nullptr;
        auto origin = reply(xcb_translate_coordinates_reply(connection, cookies.origin, &error));
        std::free(error);
        if (!attributes || !geometry || !origin || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            return {};
        const int border = geometry->border_width;
        const int left = std::max(r.x, origin->dst_x - border);
        const int top = std::max(r.y, origin->dst_y - border);
        const int right = std::min(r.x + r.width, origin->dst_x + geometry->width + border);
        const int bottom = std::min(r.y + r.height, origin->dst_y + geometry->height + border);
        if (right <= left || bottom <= top)
            return {};
        return Rect{left - r.x, top - r.y, right - left, bottom - top};
    }

    bool readable(uint8_t depth) const { return (depth == 24 || depth == 32) && bitsPerPixel(setup, depth) == 32; }

    std::shared_ptr<VideoFrame> grabShared(const Rect& r, const LeftOutCookies* leftOutCookies)
    {
        xcb_generic_error_t* error = nullptr;
        auto image = reply(xcb_shm_get_image_reply(
            connection,
            xcb_shm_get_image(connection, drawable, int16_t(r.x), int16_t(r.y), uint16_t(r.width), uint16_t(r.height),
                              ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
            &error));
        std::free(error);
        const Rect cover = leftOutCookies ? leftOutIn(*leftOutCookies, r) : Rect{};
        if (!image || !readable(image->depth))
            return nullptr;
        return picture(shared, r.width, r.height, cover);
    }

    std::shared_ptr<VideoFrame> grabPlain(const Rect& r, const LeftOutCookies* leftOutCookies)
    {
        xcb_generic_error_t* error = nullptr;
        auto image = reply(xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(r.x), int16_t(r.y),
                          uint16_t(r.width), uint16_t(r.height), ~0u),
            &error));
        std::free(error);
        const Rect cover = leftOutCookies ? leftOutIn(*leftOutCookies, r) : Rect{};
        if (!image || !readable(image->depth) ||
            size_t(xcb_get_image_data_length(image.get())) < size_t(r.width) * r.height * 4)
            return nullptr;
        return picture(xcb_get_image_data(image.get()), r.width, r.height, cover);
    }

    // The picture of `bgrx` with `cover` filled over: the last one again (marked unchanged) when no row differs,
    // else the last one with the rows that changed converted anew. The fill comes first, so that a window that
    // moves changes the rows it left and the rows it reached, and one that stays changes none.
    std::shared_ptr<VideoFrame> picture(uint8_t* bgrx, int width, int height, const Rect& cover)
    {
        const size_t stride = size_t(width) * 4;
        if (cover.width > 0) {
            std::vector<uint8_t> fill(size_t(cover.width) * 4);
            for (size_t i = 0; i < fill.size(); i += 4)
                std::memcpy(&fill[i], kLeftOutFill, 4);
            for (int row = cover.y; row < cover.y + cover.height; ++row)
                std::memcpy(bgrx + row * stride + size_t(cover.x) * 4, fill.data(), fill.size());
        }
        std::shared_ptr<VideoFrame> frame;
        int top = 0;
        int bottom = height;
        if (last && last->width == width && last->height == height) {
            const auto same = [&](int row) {
                return std::memcmp(bgrx + row * stride, previous.data() + row * stride, stride) == 0;
            };
            while (top < height && same(top))
                ++top;
            if (top == height) {
                frame = std::make_shared<VideoFrame>(*last);
                frame->unchanged = true;
                last = frame;
                return frame;
            }
            while (bottom > top && same(bottom - 1))
                --bottom;
            // Whole pairs of rows: two rows share their colour samples.
            top &= ~1;
            bottom = std::min(height, (bottom + 1) & ~1);
            frame = std::make_shared<VideoFrame>(*last);
            frame->unchanged = false;
        } else {
            frame = std::make_shared<VideoFrame>();
            frame->width = width;
            frame->height = height;
            frame->y.resize(size_t(width) * height);
            frame->u.resize(size_t(width / 2) * (height / 2));
            frame->v.resize(frame->u.size());
            previous.resize(stride * height);
        }
        convertRows(bgrx, *frame, top, bottom);
        std::memcpy(previous.data() + top * stride, bgrx + top * stride, (bottom - top) * stride);
        last = frame;
        return frame;
    }
};

XcbGrabber::XcbGrabber(std::unique_ptr<State> state) : state_(std::move(state)) {}
XcbGrabber::~XcbGrabber() = default;

std::unique_ptr<XcbGrabber> XcbGrabber::open(bool wholeScreen, int64_t sourceId, bool useShm)
{
    auto state = std::make_unique<State>();
    int screenNumber = 0;
    state->connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(state->connection))
        return nullptr;
    state->setup = xcb_get_setup(state->connection);
    if (state->setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return nullptr;
    auto screens = xcb_setup_roots_iterator(state->setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    const xcb_screen_t* screen = screens.data;
    if (!state->readable(screen->root_depth))
        return nullptr;

    state->wholeScreen = wholeScreen;
    state->screen = screen;
    if (wholeScreen) {
        auto rects = screenRects(state->connection, screen);
        if (sourceId < 0 || sourceId >= int64_t(rects.size()))
            return nullptr;
        state->drawable = screen->root;
        state->screenIndex = size_t(sourceId);
        state->screenRect = rects[state->screenIndex];
    } else {
        if (sourceId <= 0 || sourceId > int64_t(UINT32_MAX))
            return nullptr;
        state->drawable = xcb_drawable_t(sourceId);
        auto geometry = reply(
            xcb_get_geometry_reply(state->connection, xcb_get_geometry(state->connection, state->drawable), nullptr));
        if (!geometry)
            return nullptr;
    }

    if (useShm) {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(state->connection, &xcb_shm_id);
        state->shm = extension && extension->present &&
                     reply(xcb_shm_query_version_reply(state->connection, xcb_shm_query_version(state->connection),
                                                       nullptr)) != nullptr;
    }
    return std::unique_ptr<XcbGrabber>(new XcbGrabber(std::move(state)));
}

bool XcbGrabber::usesShm() const { return state_->lastShared; }

void XcbGrabber::leaveOut(int64_t window)
{
    state_->leftOut = window > 0 && window <= int64_t(UINT32_MAX) ? xcb_window_t(window) : 0;
}

std::shared_ptr<VideoFrame> XcbGrabber::grab()
{
    State& s = *state_;
    Rect r = s.screenRect;
    if (!s.wholeScreen) {
        // A window's size is read each time: it may have been resized since.
        auto geometry =
            reply(xcb_get_geometry_reply(s.connection, xcb_get_geometry(s.connection, s.drawable), nullptr));
        if (!geometry)
            return nullptr;
        r = Rect{0, 0, geometry->width, geometry->height};
    }
    r.width &= ~1;
    r.height &= ~1;
    if (r.width < 2 || r.height < 2)
        return nullptr;
    s.lastShared = s.shm && s.ensureShared(size_t(r.width) * r.height * 4);
    const bool leaveOut = s.wholeScreen && s.leftOut != 0;
    const State::LeftOutCookies cookies = leaveOut ? s.askLeftOut() : State::LeftOutCookies{};
    auto frame = s.lastShared ? s.grabShared(r, leaveOut ? &cookies : nullptr)
                              : s.grabPlain(r, leaveOut ? &cookies : nullptr);
    if (!frame && s.wholeScreen) {
        auto rects = screenRects(s.connection, s.screen);
        if (s.screenIndex < rects.size())
            s.screenRect = rects[s.screenIndex];
    }
    return frame;
}

}  // namespace velto_media
