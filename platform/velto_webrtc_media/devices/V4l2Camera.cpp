// A camera through video4linux2: the node is opened and streaming started by
// start(), with memory-mapped buffers; a thread of its own sleeps in poll()
// on the device and on an eventfd that stop() writes, converts each frame to
// I420 with libyuv and hands it on. The device's own formats are taken in
// this order of preference: YUYV, MJPEG, NV12, I420, UYVY.
#include "V4l2Camera.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <libyuv/convert.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "PacedSource.h"

namespace velto_media {

namespace {

constexpr char kNodePrefix[] = "/dev/video";
constexpr uint32_t kFormats[] = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG,
                                 V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_UYVY};
constexpr unsigned kBufferCount = 4;
constexpr int kBusy = -3;
constexpr int kFailed = -1;
constexpr int kNoFormat = -2;

int xioctl(int fd, unsigned long request, void* arg)
{
    int result;
    do
        result = ioctl(fd, request, arg);
    while (result == -1 && errno == EINTR);
    return result;
}

int failure() { return errno == EBUSY ? kBusy : kFailed; }

bool isOurs(uint32_t fourcc)
{
    return std::find(std::begin(kFormats), std::end(kFormats), fourcc) != std::end(kFormats);
}

// The number N of "/dev/videoN", or -1.
int nodeNumber(const std::string& path)
{
    if (path.compare(0, sizeof kNodePrefix - 1, kNodePrefix) != 0)
        return -1;
    std::string digits = path.substr(sizeof kNodePrefix - 1);
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (digits.empty() || digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), isDigit))
        return -1;
    return std::stoi(digits);
}

std::vector<uint32_t> offeredFormats(int fd)
{
    std::vector<uint32_t> formats;
    for (uint32_t index = 0; index < 64; ++index) {
        v4l2_fmtdesc desc{};
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_ENUM_FMT, &desc) < 0)
            break;
        formats.push_back(desc.pixelformat);
    }
    return formats;
}

// True when the open node captures video by streaming in a format we convert; its card name in *name.
bool capturesVideo(int fd, std::string* name)
{
    v4l2_capability cap{};
    if (xioctl(fd, VIDIOC_QUERYCAP, &cap) < 0)
        return false;
    uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING))
        return false;
    auto formats = offeredFormats(fd);
    if (std::none_of(formats.begin(), formats.end(), isOurs))
        return false;
    if (name) {
        auto card = reinterpret_cast<const char*>(cap.card);
        *name = std::string(card, strnlen(card, sizeof cap.card));
    }
    return true;
}

bool probe(const std::string& path, std::string* name)
{
    if (nodeNumber(path) < 0)
        return false;
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;  // held by another program: still a camera, which start() will report
    bool ok = capturesVideo(fd, name);
    ::close(fd);
    return ok;
}

// The highest frame rate the device names for this format and size; INT_MAX when it names none.
int highestRate(int fd, uint32_t fourcc, uint32_t width, uint32_t height)
{
    int best = 0;
    for (uint32_t index = 0; index < 64; ++index) {
        v4l2_frmivalenum interval{};
        interval.index = index;
        interval.pixel_format = fourcc;
        interval.width = width;
        interval.height = height;
        if (xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) < 0)
            return index == 0 ? INT_MAX : best;
        const v4l2_fract& f =
            interval.type == V4L2_FRMIVAL_TYPE_DISCRETE ? interval.discrete : interval.stepwise.min;
        if (f.numerator)
            best = std::max(best, int(f.denominator / f.numerator));
        if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE)
            break;
    }
    return best;
}

// Of the formats we convert, the first (in our order) that gives the asked
// size at the asked rate; else the first that gives the size; else the first.
uint32_t chooseFormat(int fd, int width, int height, int fps)
{
    auto offered = offeredFormats(fd);
    uint32_t chosen = 0;
    int chosenScore = -1;
    for (uint32_t fourcc : kFormats) {
        if (std::find(offered.begin(), offered.end(), fourcc) == offered.end())
            continue;
        v4l2_format trial{};
        trial.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        trial.fmt.pix.width = uint32_t(width);
        trial.fmt.pix.height = uint32_t(height);
        trial.fmt.pix.pixelformat = fourcc;
        trial.fmt.pix.field = V4L2_FIELD_ANY;
        int score = 0;
        if (xioctl(fd, VIDIOC_TRY_FMT, &trial) == 0 && int(trial.fmt.pix.width) == width &&
            int(trial.fmt.pix.height) == height)
            score = highestRate(fd, fourcc, trial.fmt.pix.width, trial.fmt.pix.height) >= fps ? 2 : 1;
        if (score > chosenScore)
            chosen = fourcc, chosenScore = score;
    }
    return chosen;
}

class V4l2Camera final : public VideoSource {
public:
    V4l2Camera(std::string path, int width, int height, int fps)
        : path_(std::move(path)), askedWidth_(width), askedHeight_(height), askedFps_(std::max(1, fps))
    {
    }
    ~V4l2Camera() override { stop(); }

    int start(VideoSink sink) override
    {
        stop();
        int result = openDevice();
        if (result < 0) {
            closeDevice();
            return result;
        }
        wakeFd_ = eventfd(0, EFD_CLOEXEC);
        if (wakeFd_ < 0) {
            closeDevice();
            return kFailed;
        }
        sink_ = sink;
        thread_ = std::thread([this, sink = std::move(sink)] { run(sink); });
        return 0;
    }

    void stop() override
    {
        if (thread_.joinable()) {
            uint64_t one = 1;
            ssize_t written = write(wakeFd_, &one, sizeof one);
            (void)written;  // an eventfd write only fails on overflow, and then it is readable anyway
            thread_.join();
        }
        if (wakeFd_ >= 0)
            ::close(wakeFd_);
        wakeFd_ = -1;
        closeDevice();
    }

    // A running camera is restarted in the new format.
    void setFormat(int width, int height, int fps) override
    {
        if (width > 0 && height > 0)
            askedWidth_ = width, askedHeight_ = height;
        if (fps > 0)
            askedFps_ = fps;
        if (thread_.joinable())
            start(sink_);
    }

private:
    struct Buffer {
        void* data = MAP_FAILED;
        size_t length = 0;
    };

    int openDevice()
    {
        fd_ = ::open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return failure();
        if (!capturesVideo(fd_, nullptr))
            return kFailed;
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = uint32_t(askedWidth_);
        format.fmt.pix.height = uint32_t(askedHeight_);
        format.fmt.pix.pixelformat = chooseFormat(fd_, askedWidth_, askedHeight_, askedFps_);
        format.fmt.pix.field = V4L2_FIELD_ANY;
        if (xioctl(fd_, VIDIOC_S_FMT, &format) < 0)
            return failure();
        fourcc_ = format.fmt.pix.pixelformat;
        width_ = int(format.fmt.pix.width);
        height_ = int(format.fmt.pix.height);
        bytesPerLine_ = int(format.fmt.pix.bytesperline);
        if (!isOurs(fourcc_) || width_ < 2 || height_ < 2)
            return kNoFormat;
        if (bytesPerLine_ <= 0)
            bytesPerLine_ = fourcc_ == V4L2_PIX_FMT_YUYV || fourcc_ == V4L2_PIX_FMT_UYVY ? width_ * 2 : width_;

        v4l2_streamparm rate{};  // a device that cannot change its rate keeps its own; run() thins it out
        rate.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        rate.parm.capture.timeperframe.numerator = 1;
        rate.parm.capture.timeperframe.denominator = uint32_t(askedFps_);
        xioctl(fd_, VIDIOC_S_PARM, &rate);

        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (xioctl(fd_, VIDIOC_REQBUFS, &request) < 0)
            return failure();
        if (request.count < 2)
            return kFailed;
        buffers_.resize(request.count);
        for (uint32_t i = 0; i < request.count; ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (xioctl(fd_, VIDIOC_QUERYBUF, &buffer) < 0)
                return failure();
            buffers_[i].data = mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buffer.m.offset);
            if (buffers_[i].data == MAP_FAILED)
                return kFailed;
            buffers_[i].length = buffer.length;
            if (xioctl(fd_, VIDIOC_QBUF, &buffer) < 0)
                return failure();
        }
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd_, VIDIOC_STREAMON, &type) < 0)
            return failure();
        return 0;
    }

    void closeDevice()
    {
        if (fd_ < 0)
            return;
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(fd_, VIDIOC_STREAMOFF, &type);
        for (Buffer& buffer : buffers_)
            if (buffer.data != MAP_FAILED)
                munmap(buffer.data, buffer.length);
        buffers_.clear();
        v4l2_requestbuffers release{};
        release.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        release.memory = V4L2_MEMORY_MMAP;
        xioctl(fd_, VIDIOC_REQBUFS, &release);
        ::close(fd_);
        fd_ = -1;
    }

    void run(const VideoSink& sink)
    {
        // Frames coming faster than asked (a device that ignored the rate) are thinned out.
        const auto minimumGap = std::chrono::microseconds(750000 / askedFps_);
        auto lastSent = std::chrono::steady_clock::time_point();
        for (;;) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                return;  // unplugged
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (xioctl(fd_, VIDIOC_DQBUF, &buffer) < 0) {
                if (errno == EAGAIN)
                    continue;
                return;
            }
            std::shared_ptr<VideoFrame> frame;
            auto now = std::chrono::steady_clock::now();
            bool wanted = now - lastSent >= minimumGap;
            if (wanted && !(buffer.flags & V4L2_BUF_FLAG_ERROR) && buffer.index < buffers_.size()) {
                const Buffer& mapped = buffers_[buffer.index];
                size_t used = buffer.bytesused ? std::min<size_t>(buffer.bytesused, mapped.length) : mapped.length;
                frame = convert(static_cast<const uint8_t*>(mapped.data), used);
            }
            if (xioctl(fd_, VIDIOC_QBUF, &buffer) < 0)
                return;
            if (frame) {
                lastSent = now;
                frame->captureUs = steadyMicroseconds(now);
                sink(std::move(frame));
            }
        }
    }

    // One captured buffer as I420; null when it is short or does not decode.
    std::shared_ptr<VideoFrame> convert(const uint8_t* data, size_t used) const
    {
        auto frame = std::make_shared<VideoFrame>();
        frame->width = width_ & ~1;
        frame->height = height_ & ~1;
        frame->y.resize(size_t(frame->width) * frame->height);
        frame->u.resize(size_t(frame->width / 2) * (frame->height / 2));
        frame->v.resize(frame->u.size());
        uint8_t *y = frame->y.data(), *u = frame->u.data(), *v = frame->v.data();
        const int w = frame->width, h = frame->height, cw = w / 2, line = bytesPerLine_;
        const size_t plane = size_t(line) * height_;
        int result = -1;
        switch (fourcc_) {
        case V4L2_PIX_FMT_YUYV:
            if (used >= plane)
                result = libyuv::YUY2ToI420(data, line, y, w, u, cw, v, cw, w, h);
            break;
        case V4L2_PIX_FMT_UYVY:
            if (used >= plane)
                result = libyuv::UYVYToI420(data, line, y, w, u, cw, v, cw, w, h);
            break;
        case V4L2_PIX_FMT_NV12:
            if (used >= plane + plane / 2)
                result = libyuv::NV12ToI420(data, line, data + plane, line, y, w, u, cw, v, cw, w, h);
            break;
        case V4L2_PIX_FMT_YUV420:
            if (used >= plane + plane / 2)
                result = libyuv::I420Copy(data, line, data + plane, line / 2, data + plane + plane / 4, line / 2, y, w,
                                          u, cw, v, cw, w, h);
            break;
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG:
            if (w == width_ && h == height_)
                result = libyuv::MJPGToI420(data, used, y, w, u, cw, v, cw, width_, height_, w, h);
            break;
        }
        return result == 0 ? frame : nullptr;
    }

    const std::string path_;
    int askedWidth_;
    int askedHeight_;
    int askedFps_;
    int fd_ = -1;
    int wakeFd_ = -1;
    uint32_t fourcc_ = 0;
    int width_ = 0;
    int height_ = 0;
    int bytesPerLine_ = 0;
    std::vector<Buffer> buffers_;
    VideoSink sink_;  // kept for the restart in a new format
    std::thread thread_;
};

}  // namespace

std::vector<CameraInfo> listV4l2Cameras()
{
    std::vector<std::pair<int, CameraInfo>> found;
    if (DIR* dir = opendir("/dev")) {
        while (dirent* entry = readdir(dir)) {
            std::string path = std::string("/dev/") + entry->d_name;
            int number = nodeNumber(path);
            std::string name;
            if (number >= 0 && probe(path, &name))
                found.push_back({number, {path, name.empty() ? path : name}});
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<CameraInfo> cameras;
    for (auto& entry : found)
        cameras.push_back(std::move(entry.second));
    return cameras;
}

bool isV4l2Camera(const std::string& path) { return probe(path, nullptr); }

std::unique_ptr<VideoSource> makeV4l2Camera(const std::string& path, int width, int height, int fps)
{
    return std::make_unique<V4l2Camera>(path, width, height, fps);
}

}  // namespace velto_media
