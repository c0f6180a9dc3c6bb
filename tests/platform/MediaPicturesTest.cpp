// The device layer's pictures: the synthetic camera (moving, named, its frame
// number readable after scaling and noise), still pictures from PNG files,
// the camera list, and video sources that stop for good when told to.
#include <gtest/gtest.h>

#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <glob.h>
#include <random>
#include <string>

#include "FrameCounter.h"
#include "MediaDevicesTestSupport.h"
#include "SyntheticPicture.h"
#include "V4l2Camera.h"
#include "VideoSource.h"

using namespace velto_media;
using namespace media_devices_test;

namespace {

std::shared_ptr<VideoFrame> scaled(const VideoFrame& from, int width, int height)
{
    auto to = VideoFrame::black(width, height);
    libyuv::I420Scale(from.y.data(), from.width, from.u.data(), from.width / 2, from.v.data(), from.width / 2,
                      from.width, from.height, to->y.data(), width, to->u.data(), width / 2, to->v.data(), width / 2,
                      width, height, libyuv::kFilterBilinear);
    return to;
}

std::shared_ptr<VideoFrame> scaledThereAndBack(const VideoFrame& frame, int divisor)
{
    auto small = scaled(frame, (frame.width / divisor) & ~1, (frame.height / divisor) & ~1);
    return scaled(*small, frame.width, frame.height);
}

std::shared_ptr<VideoFrame> noisy(const VideoFrame& frame, int amplitude)
{
    auto copy = std::make_shared<VideoFrame>(frame);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-amplitude, amplitude);
    for (auto* plane : {&copy->y, &copy->u, &copy->v})
        for (uint8_t& sample : *plane)
            sample = uint8_t(std::clamp(sample + noise(random), 0, 255));
    return copy;
}

// Every sample rounded to a coarse step, as a starved encoder flattens a picture.
std::shared_ptr<VideoFrame> quantised(const VideoFrame& frame, int step)
{
    auto copy = std::make_shared<VideoFrame>(frame);
    for (uint8_t& sample : copy->y)
        sample = uint8_t(std::min(255, (sample + step / 2) / step * step));
    return copy;
}

double meanDifference(const VideoFrame& a, const VideoFrame& b, int top, int bottom)
{
    double sum = 0;
    for (int row = top; row < bottom; ++row)
        for (int col = 0; col < a.width; ++col)
            sum += std::abs(a.y[size_t(row) * a.width + col] - b.y[size_t(row) * b.width + col]);
    return sum / (double(bottom - top) * a.width);
}

bool sameColumns(const VideoFrame& a, const VideoFrame& b, int fromColumn)
{
    for (int row = 0; row < a.height; ++row)
        for (int col = fromColumn; col < a.width; ++col)
            if (a.y[size_t(row) * a.width + col] != b.y[size_t(row) * b.width + col])
                return false;
    return true;
}

uint32_t counterOf(const VideoFramePtr& frame)
{
    uint32_t counter = 0;
    EXPECT_TRUE(frame && readFrameCounter(*frame, &counter));
    return counter;
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/media-pictures-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), width * 4, nullptr)) << path;
}

}  // namespace

TEST(FrameCounter, ReadsBackWhatWasWrittenAfterScalingNoiseAndCoarseLevels)
{
    struct Degradation {
        const char* name;
        std::function<std::shared_ptr<VideoFrame>(const VideoFrame&)> apply;
    };
    const Degradation degradations[] = {
        {"none", [](const VideoFrame& f) { return std::make_shared<VideoFrame>(f); }},
        {"half size and back", [](const VideoFrame& f) { return scaledThereAndBack(f, 2); }},
        {"third size and back", [](const VideoFrame& f) { return scaledThereAndBack(f, 3); }},
        {"noise", [](const VideoFrame& f) { return noisy(f, 40); }},
        {"coarse levels", [](const VideoFrame& f) { return quantised(f, 48); }},
        {"half size, noise", [](const VideoFrame& f) { return noisy(*scaledThereAndBack(f, 2), 24); }},
    };
    const std::pair<int, int> sizes[] = {{640, 360}, {1280, 720}, {320, 180}, {176, 144}};
    const uint32_t counters[] = {0, 1, 0x80000001u, 123456789u, 0xFFFFFFFFu};
    for (auto [width, height] : sizes) {
        SyntheticPicture picture("alice", width, height);
        for (uint32_t counter : counters) {
            auto frame = picture.draw(counter);
            for (const Degradation& degradation : degradations) {
                uint32_t read = 0;
                auto damaged = degradation.apply(*frame);
                EXPECT_TRUE(readFrameCounter(*damaged, &read)) << width << "x" << height << " " << degradation.name;
                EXPECT_EQ(read, counter) << width << "x" << height << " " << degradation.name;
            }
        }
    }
}

TEST(FrameCounter, FindsNoNumberWherePictureCarriesNone)
{
    auto grey = VideoFrame::black(640, 360);
    std::fill(grey->y.begin(), grey->y.end(), 128);
    auto gradient = VideoFrame::black(640, 360);
    for (size_t i = 0; i < gradient->y.size(); ++i)
        gradient->y[i] = uint8_t(i % 640 * 255 / 640);
    auto halfCovered = SyntheticPicture("alice", 640, 360).draw(42);  // the complements painted over
    std::fill(halfCovered->y.end() - 20 * 640, halfCovered->y.end(), 235);
    auto tiny = VideoFrame::black(4, 4);
    writeFrameCounter(*tiny, 5);  // too small for any block: left as it is
    auto hollow = std::make_shared<VideoFrame>();
    hollow->width = 640, hollow->height = 360;  // planes missing

    const std::pair<const char*, std::shared_ptr<VideoFrame>> frames[] = {
        {"black", VideoFrame::black(640, 360)}, {"grey", grey}, {"gradient", gradient},
        {"half covered", halfCovered}, {"tiny", tiny}, {"hollow", hollow}};
    for (const auto& [name, frame] : frames) {
        uint32_t counter = 77;
        EXPECT_FALSE(readFrameCounter(*frame, &counter)) << name;
        EXPECT_EQ(counter, 77u) << name;
    }
    EXPECT_EQ(tiny->y, VideoFrame::black(4, 4)->y);
}

TEST(SyntheticPicture, MovesFromFrameToFrameAndIsTheSameForTheSameNumber)
{
    SyntheticPicture picture("alice", 640, 360);
    const int captionBottom = 90, bandTop = 360 - frameCounterBandHeight(640, 360);
    for (uint32_t n : {0u, 1u, 100u, 4000u}) {
        auto now = picture.draw(n), next = picture.draw(n + 1);
        EXPECT_GT(meanDifference(*now, *next, captionBottom, bandTop), 1.0) << n;
        EXPECT_EQ(picture.draw(n)->y, now->y) << n;
        EXPECT_EQ(picture.draw(n)->u, now->u) << n;
    }
}

TEST(SyntheticPicture, CarriesTheUserNameInItsCaptionCutToTheFrame)
{
    const int captionBottom = 90;
    auto nameless = SyntheticPicture("", 640, 360).draw(9);
    const std::string names[] = {"alice", "Bob Smith-Jones", "Zo\xc3\xab \xe6\x9d\x8e", std::string(300, 'W'),
                                 std::string("\x01\x7f\xff", 3)};
    for (const std::string& name : names) {
        auto named = SyntheticPicture(name, 640, 360).draw(9);
        EXPECT_GT(meanDifference(*named, *nameless, 0, captionBottom), 1.0) << name;
        EXPECT_EQ(meanDifference(*named, *nameless, captionBottom, 360), 0.0) << name;
        EXPECT_TRUE(sameColumns(*named, *nameless, 632)) << name;  // the right margin stays clear
    }
    EXPECT_NE(SyntheticPicture("alice", 640, 360).draw(9)->y, SyntheticPicture("alicf", 640, 360).draw(9)->y);
}

TEST(SyntheticCamera, SendsNumberedFramesAtTheAskedSizeAndNoFasterThanTheAskedRate)
{
    auto camera = makeSyntheticCamera("alice", 320, 180, 50);
    FrameCollector collector;
    ASSERT_EQ(camera->start(collector.sink()), 0);
    constexpr size_t kCount = 31;
    auto frames = collector.waitFor(kCount);
    ASSERT_EQ(frames.size(), kCount);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->width, 320);
        EXPECT_EQ(frames[i]->height, 180);
        EXPECT_EQ(counterOf(frames[i]), i);
    }
    // However late a busy machine lets a frame out, the source catches up on
    // at most two periods: frame j comes at least j - i - 2 periods after
    // frame i. A source 20% too fast falls short of that over 30 periods.
    EXPECT_GE(frames[kCount - 1]->captureUs - frames[0]->captureUs, int64_t(kCount - 1 - 2) * 20000);

    camera->setFormat(640, 360, 50);
    auto later = collector.waitFor(collector.count() + 3);
    camera->stop();
    ASSERT_GE(later.size(), 13u);
    EXPECT_EQ(later.back()->width, 640);
    EXPECT_EQ(later.back()->height, 360);
    EXPECT_EQ(counterOf(later.back()), later.size() - 1);

    auto unsized = makeSyntheticCamera("alice", 0, 0, 0);
    FrameCollector first;
    ASSERT_EQ(unsized->start(first.sink()), 0);
    auto one = first.waitFor(1);
    unsized->stop();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0]->width, 640);
    EXPECT_EQ(one[0]->height, 360);
}

TEST(ImageSource, SendsThePictureOfAPngCutToEvenSizeWithTransparencyOverBlack)
{
    TempDir dir;
    const int width = 101, height = 61;
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x < 50 ? 220 : 40 + x);
            p[1] = uint8_t(y < 30 ? 60 : 200);
            p[2] = uint8_t(2 * y + x);
            p[3] = x < 10 ? 0 : 255;  // a transparent strip on the left
        }
    writePng(dir.file("picture.png"), width, height, rgba);

    auto source = makeImageSource(dir.file("picture.png"), 20);
    ASSERT_TRUE(source);
    FrameCollector collector;
    ASSERT_EQ(source->start(collector.sink()), 0);
    auto frames = collector.waitFor(2);
    source->stop();
    ASSERT_EQ(frames.size(), 2u);
    const VideoFrame& frame = *frames[0];
    ASSERT_EQ(frame.width, 100);
    ASSERT_EQ(frame.height, 60);
    EXPECT_LT(frames[0]->captureUs, frames[1]->captureUs);

    std::vector<uint8_t> bgr(size_t(frame.width) * frame.height * 3);
    libyuv::I420ToRGB24(frame.y.data(), frame.width, frame.u.data(), frame.width / 2, frame.v.data(),
                        frame.width / 2, bgr.data(), frame.width * 3, frame.width, frame.height);
    double squares = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
                int expected = p[3] ? p[c] : 0;
                int got = bgr[(size_t(y) * frame.width + x) * 3 + (2 - c)];
                squares += double(expected - got) * (expected - got);
            }
    double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (frame.width * frame.height * 3)));
    EXPECT_GT(psnr, 30.0);
}

TEST(ImageSource, IsNullForFilesThatAreNoUsablePicture)
{
    TempDir dir;
    std::vector<uint8_t> rgba(40 * 40 * 4, 200);
    writePng(dir.file("good.png"), 40, 40, rgba);
    std::ifstream good(dir.file("good.png"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(good)), std::istreambuf_iterator<char>());
    std::ofstream(dir.file("truncated.png"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(dir.file("text.png")) << "not a picture\n";
    std::ofstream(dir.file("empty.png"));
    writePng(dir.file("dot.png"), 1, 1, std::vector<uint8_t>(4, 255));
    writePng(dir.file("wide.png"), 5000, 2, std::vector<uint8_t>(5000 * 2 * 4, 255));

    ASSERT_TRUE(makeImageSource(dir.file("good.png"), 5));
    for (const char* name : {"missing.png", "truncated.png", "text.png", "empty.png", "dot.png", "wide.png"})
        EXPECT_FALSE(makeImageSource(dir.file(name), 5)) << name;
    EXPECT_FALSE(makeImageSource(dir.file(""), 5));
}

TEST(Cameras, ListTheSyntheticCameraLastOnlyWhenAskedAndOpenOnlyCamerasThatExist)
{
    glob_t nodes{};
    bool anyNode = glob("/dev/video*", 0, nullptr, &nodes) == 0;
    globfree(&nodes);
    const char* before = std::getenv("VELTO_SYNTHETIC_CAMERA");
    const std::string kept = before ? before : "";
    struct Case {
        const char* variable;  // nullptr: unset
        bool listed;
    };
    // A machine without a camera lists none unless asked: its user is offered an audio-only join.
    for (const Case& c : {Case{nullptr, false}, Case{"0", false}, Case{"", false}, Case{"1", true}}) {
        SCOPED_TRACE(c.variable ? c.variable : "unset");
        if (c.variable)
            setenv("VELTO_SYNTHETIC_CAMERA", c.variable, 1);
        else
            unsetenv("VELTO_SYNTHETIC_CAMERA");
        auto cameras = listCameras();
        const bool synthetic = !cameras.empty() && cameras.back().id == kSyntheticCameraId;
        EXPECT_EQ(synthetic, c.listed);
        if (synthetic)
            EXPECT_FALSE(cameras.back().name.empty());
        if (!anyNode)
            EXPECT_EQ(cameras.size(), c.listed ? 1u : 0u);
    }
    if (before)
        setenv("VELTO_SYNTHETIC_CAMERA", kept.c_str(), 1);
    else
        unsetenv("VELTO_SYNTHETIC_CAMERA");

    auto synthetic = openCamera(kSyntheticCameraId, "carol", 320, 180, 30);
    ASSERT_TRUE(synthetic);
    FrameCollector collector;
    ASSERT_EQ(synthetic->start(collector.sink()), 0);
    auto frames = collector.waitFor(1);
    synthetic->stop();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]->width, 320);
    EXPECT_EQ(counterOf(frames[0]), 0u);

    for (const char* id : {"/dev/video99", "/dev/null", "/dev/zero", "", "/dev/video", "/etc/passwd", "synthetic2"})
        EXPECT_FALSE(openCamera(id, "carol", 640, 360, 15)) << id;
    // A node that is missing or no camera when started fails, and not as "held by another program".
    for (const char* node : {"/dev/video99", "/dev/null"}) {
        auto camera = makeV4l2Camera(node, 640, 360, 15);
        int result = camera->start(collector.sink());
        EXPECT_LT(result, 0) << node;
        EXPECT_NE(result, -3) << node;
        camera->stop();
    }
}

TEST(VideoSources, StopWaitsForTheSinkAndNothingIsDeliveredAfterIt)
{
    TempDir dir;
    writePng(dir.file("picture.png"), 64, 64, std::vector<uint8_t>(64 * 64 * 4, 128));
    std::pair<const char*, std::unique_ptr<VideoSource>> sources[] = {
        {"synthetic", makeSyntheticCamera("dave", 320, 180, 30)},
        {"picture", makeImageSource(dir.file("picture.png"), 30)},
    };
    for (auto& [name, source] : sources) {
        ASSERT_TRUE(source) << name;
        CallWatch watch;
        ASSERT_EQ(source->start([&watch](VideoFramePtr) {
            watch.enter();
            watch.leave();
        }), 0) << name;
        ASSERT_TRUE(watch.waitUntilInside()) << name;
        source->stop();
        EXPECT_FALSE(watch.inside) << name;
        int calls = watch.calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(watch.calls, calls) << name;
        EXPECT_FALSE(watch.overlapped) << name;
    }
}
