// The media pipeline's stages one by one: the VP8 payload, the packet
// buffer and frame assembler, the audio jitter buffer, WAV files, the codecs
// and colour conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AudioJitterBuffer.h"
#include "FrameAssembler.h"
#include "MediaTestSupport.h"
#include "OpusCodec.h"
#include "RemoteAudioStream.h"
#include "SequenceNumbers.h"
#include "VideoConvert.h"
#include "Vp8Decoder.h"
#include "Vp8Encoder.h"
#include "Vp8Payload.h"
#include "WavFile.h"

namespace {

using namespace velto_media;
using Bytes = std::vector<uint8_t>;

Bytes countingBytes(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

TEST(Vp8Payload, FramesSplitIntoBoundedPacketsThatJoinBack)
{
    struct Case {
        size_t frame;
        size_t maxPayload;
        size_t packets;
    };
    const Case cases[] = {
        {1, 1200, 1}, {1196, 1200, 1}, {1197, 1200, 2}, {5000, 1200, 5}, {100000, 1200, 84}, {10, 5, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.frame) + " bytes in " + std::to_string(c.maxPayload));
        const Bytes frame = countingBytes(c.frame);
        const auto packets = rtp::packetizeVp8(frame.data(), frame.size(), 0x1234, c.maxPayload);
        ASSERT_EQ(c.packets, packets.size());
        Bytes joined;
        for (size_t i = 0; i < packets.size(); ++i) {
            EXPECT_LE(packets[i].size(), c.maxPayload);
            rtp::Vp8Descriptor d;
            ASSERT_TRUE(rtp::parseVp8Descriptor(packets[i].data(), packets[i].size(), &d));
            EXPECT_EQ(i == 0, d.start);
            EXPECT_EQ(0, d.partition);
            EXPECT_EQ(0x1234, d.pictureId);
            joined.insert(joined.end(), packets[i].begin() + long(d.size), packets[i].end());
        }
        EXPECT_EQ(frame, joined);
        // Near-equal parts: no runt packet at the end.
        EXPECT_LE(packets.front().size() - packets.back().size(), 1u);
    }
    EXPECT_TRUE(rtp::packetizeVp8(nullptr, 0, 1).empty());
    const Bytes one{1};
    EXPECT_TRUE(rtp::packetizeVp8(one.data(), 1, 1, 4).empty());
}

TEST(Vp8Payload, DescriptorsOfEveryShapeAndTruncation)
{
    struct Case {
        const char* name;
        Bytes payload;
        bool ok;
        bool start;
        int partition;
        int pictureId;
        size_t size;
    };
    const Case cases[] = {
        {"required byte only", {0x10, 0xaa}, true, true, 0, -1, 1},
        {"partition 3, not start", {0x03, 0xaa}, true, false, 3, -1, 1},
        {"7-bit picture id", {0x90, 0x80, 0x25, 0xaa}, true, true, 0, 0x25, 3},
        {"15-bit picture id", {0x80, 0x80, 0x81, 0x02, 0xaa}, true, false, 0, 0x102, 4},
        {"picture id, TL0 and TID", {0x90, 0xe0, 0x05, 0x11, 0x22, 0xaa}, true, true, 0, 5, 5},
        {"key index alone", {0x90, 0x10, 0x33, 0xaa}, true, true, 0, -1, 3},
        {"nothing after the descriptor", {0x90, 0x80, 0x81, 0x02}, false, false, 0, 0, 0},
        {"15-bit id cut short", {0x90, 0x80, 0x81}, false, false, 0, 0, 0},
        {"extension byte missing", {0x90}, false, false, 0, 0, 0},
        {"empty", {}, false, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rtp::Vp8Descriptor d;
        ASSERT_EQ(c.ok, rtp::parseVp8Descriptor(c.payload.data(), c.payload.size(), &d));
        if (c.ok) {
            EXPECT_EQ(c.start, d.start);
            EXPECT_EQ(c.partition, d.partition);
            EXPECT_EQ(c.pictureId, d.pictureId);
            EXPECT_EQ(c.size, d.size);
        }
    }
}

TEST(Vp8Payload, KeyframesAreToldByTheirTagAndStartCode)
{
    const Bytes key{0x50, 0x42, 0x00, 0x9d, 0x01, 0x2a, 0x80, 0x02, 0x68, 0x01};
    Bytes delta = key;
    delta[0] |= 0x01;
    Bytes noStartCode = key;
    noStartCode[4] = 0x02;
    EXPECT_TRUE(rtp::isVp8Keyframe(key.data(), key.size()));
    EXPECT_FALSE(rtp::isVp8Keyframe(delta.data(), delta.size()));
    EXPECT_FALSE(rtp::isVp8Keyframe(noStartCode.data(), noStartCode.size()));
    EXPECT_FALSE(rtp::isVp8Keyframe(key.data(), 6));
}

TEST(SequenceNumbers, UnwrapAcrossTheWrapBothWays)
{
    SequenceUnwrapper unwrap;
    const std::pair<uint16_t, int64_t> steps[] = {
        {65534, 65534}, {65535, 65535}, {0, 65536}, {2, 65538}, {65535, 65535}, {1, 65537}, {40000, 40000},
    };
    for (const auto& [sequence, expected] : steps)
        EXPECT_EQ(expected, unwrap.unwrap(sequence)) << sequence;
}

TEST(PacketBuffer, ReportsWhatEachPacketSkippedOnce)
{
    struct Step {
        int64_t sequence;
        bool stored;
        std::vector<int64_t> missing;
    };
    const Step steps[] = {
        {10, true, {}},        {11, true, {}},  {14, true, {12, 13}}, {12, true, {}},
        {12, false, {}},       {13, true, {}},  {15, true, {}},       {9, true, {}},
        {15 + 300, true, {}},  // a jump this wide is a restart, not a loss
        {15 + 303, true, {316, 317}},
    };
    PacketBuffer buffer;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.sequence);
        VideoPacket packet;
        packet.sequence = step.sequence;
        const PacketBuffer::Inserted inserted = buffer.insert(packet);
        EXPECT_EQ(step.stored, inserted.stored);
        EXPECT_EQ(step.missing, inserted.missing);
    }
    EXPECT_EQ(318, buffer.highest());
    EXPECT_EQ(9, buffer.firstFrom(0)->sequence);
    buffer.eraseBefore(14);
    EXPECT_EQ(nullptr, buffer.find(13));
    EXPECT_EQ(14, buffer.firstFrom(0)->sequence);

    PacketBuffer small(3);
    for (int64_t sequence = 0; sequence < 3; ++sequence)
        EXPECT_FALSE(small.insert({sequence, 0, false, false, false, {}}).overflowed);
    EXPECT_TRUE(small.insert({3, 0, false, false, false, {}}).overflowed);
    EXPECT_EQ(1u, small.size());
}

// Packets of a scripted stream: S = start of a frame, K = start of a
// keyframe, M = marker; the timestamp tells the frames apart.
VideoPacket packet(int64_t sequence, uint32_t timestamp, const char* flags)
{
    const std::string f = flags;
    VideoPacket p;
    p.sequence = sequence;
    p.timestamp = timestamp;
    p.frameStart = f.find('S') != std::string::npos || f.find('K') != std::string::npos;
    p.keyframe = f.find('K') != std::string::npos;
    p.marker = f.find('M') != std::string::npos;
    p.data = {uint8_t(sequence)};
    return p;
}

TEST(FrameAssembler, HandsOutWholeDecodableFramesInOrder)
{
    struct Step {
        std::vector<VideoPacket> arrive;
        bool skipGap;
        std::vector<int64_t> frames;  // first sequence of each frame handed out
        bool waiting;                 // for a keyframe afterwards
        int64_t gap;                  // blocking gap afterwards, -1 for none
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"keyframe then delta frames",
         {{{packet(0, 0, "K"), packet(1, 0, ""), packet(2, 0, "M")}, false, {0}, false, -1},
          {{packet(3, 90, "SM"), packet(4, 180, "S"), packet(5, 180, "M")}, false, {3, 4}, false, -1}}},
        {"packets out of order",
         {{{packet(2, 0, "M"), packet(0, 0, "K")}, false, {}, true, -1},
          {{packet(1, 0, "")}, false, {0}, false, -1}}},
        {"delta frames before the first keyframe are dropped",
         {{{packet(0, 0, "SM"), packet(1, 90, "SM")}, false, {}, true, -1},
          {{packet(2, 180, "KM"), packet(3, 270, "SM")}, false, {2, 3}, false, -1}}},
        {"a gap holds later frames back until it is filled",
         {{{packet(0, 0, "KM"), packet(2, 90, "M"), packet(3, 180, "SM")}, false, {0}, false, 1},
          {{packet(1, 90, "S")}, false, {1, 3}, false, -1}}},
        {"a gap given up waits for the next keyframe",
         {{{packet(0, 0, "KM"), packet(2, 90, "SM"), packet(3, 180, "SM")}, false, {0}, false, 1},
          {{}, true, {}, true, -1},
          {{packet(1, 45, "SM"), packet(4, 270, "SM")}, false, {}, true, -1},
          {{packet(5, 360, "K"), packet(6, 360, "M"), packet(7, 450, "SM")}, false, {5, 7}, false, -1}}},
        {"a frame whose marker was lost cannot be completed",
         {{{packet(0, 0, "KM"), packet(1, 90, "S"), packet(2, 180, "SM")}, false, {0}, true, -1},
          {{packet(3, 270, "KM")}, false, {3}, false, -1}}},
        {"a frame that starts mid-way is no frame",
         {{{packet(0, 0, "KM"), packet(1, 90, "M")}, false, {0}, true, -1}}},
        {"late and repeated packets change nothing",
         {{{packet(0, 0, "KM"), packet(1, 90, "SM")}, false, {0, 1}, false, -1},
          {{packet(0, 0, "KM"), packet(1, 90, "SM")}, false, {}, false, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameAssembler assembler;
        int stepNumber = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE("step " + std::to_string(++stepNumber));
            for (const VideoPacket& p : step.arrive)
                assembler.insert(p);
            if (step.skipGap)
                assembler.skipGap();
            std::vector<int64_t> frames;
            for (const AssembledFrame& frame : assembler.takeFrames()) {
                frames.push_back(frame.firstSequence);
                Bytes expected;
                for (int64_t s = frame.firstSequence; s <= frame.lastSequence; ++s)
                    expected.push_back(uint8_t(s));
                EXPECT_EQ(expected, frame.data);
            }
            EXPECT_EQ(step.frames, frames);
            EXPECT_EQ(step.waiting, assembler.waitingForKeyframe());
            EXPECT_EQ(step.gap, assembler.blockingGap().value_or(-1));
        }
    }
}

TEST(FrameAssembler, ReportsMissingPacketsForRequestsAndKnowsAKeyframeIsComing)
{
    FrameAssembler assembler;
    EXPECT_TRUE(assembler.insert(packet(10, 0, "K")).missing.empty());
    EXPECT_TRUE(assembler.takeFrames().empty());
    EXPECT_TRUE(assembler.hasKeyframeStart());
    const FrameAssembler::Arrival arrival = assembler.insert(packet(13, 0, "M"));
    EXPECT_TRUE(arrival.accepted);
    EXPECT_EQ((std::vector<int64_t>{11, 12}), arrival.missing);
    EXPECT_TRUE(assembler.takeFrames().empty());
    assembler.insert(packet(11, 0, ""));
    assembler.insert(packet(12, 0, ""));
    ASSERT_EQ(1u, assembler.takeFrames().size());
    EXPECT_FALSE(assembler.insert(packet(12, 0, "")).accepted) << "already handed out";
}

TEST(AudioJitterBuffer, PlayoutDecodesRebuildsConcealsAndCatchesUp)
{
    using Kind = AudioJitterBuffer::Pull::Kind;
    struct Step {
        std::vector<int64_t> arrive;
        Kind pulled;
        int payloadOf;  // sequence whose payload comes out, -1 for none
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"silence until the target is buffered, then in order",
         {{{5}, Kind::Silence, -1}, {{6}, Kind::Silence, -1}, {{7}, Kind::Packet, 5}, {{}, Kind::Packet, 6},
          {{8}, Kind::Packet, 7}}},
        {"a lost frame rebuilt from the next packet",
         {{{1, 3, 4}, Kind::Packet, 1}, {{}, Kind::FromNext, 3}, {{}, Kind::Packet, 3}, {{}, Kind::Packet, 4}}},
        {"a lost frame with nothing after it concealed, then silence",
         {{{1, 2, 3}, Kind::Packet, 1}, {{}, Kind::Packet, 2}, {{}, Kind::Packet, 3}, {{}, Kind::Conceal, -1},
          {{}, Kind::Conceal, -1}, {{}, Kind::Conceal, -1}, {{}, Kind::Conceal, -1}, {{}, Kind::Conceal, -1},
          {{}, Kind::Silence, -1}, {{20}, Kind::Silence, -1}}},
        {"a late packet is dropped",
         {{{1, 2, 3}, Kind::Packet, 1}, {{1}, Kind::Packet, 2}}},
        {"too far behind: jumps to the target delay",
         {{{1, 2, 3}, Kind::Packet, 1}, {{4, 5, 6, 7, 8, 9, 10, 11, 12}, Kind::Packet, 10}, {{}, Kind::Packet, 11}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioJitterBuffer buffer(3, 7);
        int stepNumber = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE("step " + std::to_string(++stepNumber));
            for (int64_t sequence : step.arrive)
                buffer.insert(sequence, {uint8_t(sequence)});
            const AudioJitterBuffer::Pull pull = buffer.pull();
            EXPECT_EQ(int(step.pulled), int(pull.kind));
            EXPECT_EQ(step.payloadOf < 0 ? Bytes{} : Bytes{uint8_t(step.payloadOf)}, pull.payload);
        }
    }
}

Bytes wavBytes(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<int16_t>& samples,
               bool extraChunk = false, int blockAlign = -1)
{
    Bytes b;
    const auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    const auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF");
    put(0, 4);
    tag("WAVE");
    if (extraChunk) {
        tag("LIST");
        put(3, 4);
        b.insert(b.end(), {1, 2, 3, 0});  // odd length, padded
    }
    tag("fmt ");
    put(format == 0xfffe ? 40 : 16, 4);
    put(format, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * bits / 8, 4);
    put(blockAlign >= 0 ? uint32_t(blockAlign) : uint32_t(channels * bits / 8), 2);
    put(bits, 2);
    if (format == 0xfffe) {
        put(22, 2);
        put(bits, 2);
        put(0, 4);
        put(1, 2);  // PCM sub-format
        b.insert(b.end(), 14, 0);
    }
    tag("data");
    put(uint32_t(samples.size() * 2), 4);
    for (int16_t s : samples)
        put(uint16_t(s), 2);
    return b;
}

TEST(WavFile, ReadsSixteenBitPcmAndRefusesTheRest)
{
    const std::vector<int16_t> samples{1, -2, 300, -32768, 32767, 0};
    struct Case {
        const char* name;
        Bytes bytes;
        bool ok;
        int channels;
        size_t count;
    };
    Bytes truncated = wavBytes(1, 1, 48000, 16, samples);
    truncated.resize(truncated.size() - 3);
    Bytes noWave = wavBytes(1, 1, 48000, 16, samples);
    std::memcpy(noWave.data() + 8, "AVI ", 4);
    Bytes headerOnly = wavBytes(1, 1, 48000, 16, samples);
    headerOnly.resize(20);
    const Case cases[] = {
        {"mono", wavBytes(1, 1, 48000, 16, samples), true, 1, 6},
        {"stereo", wavBytes(1, 2, 44100, 16, samples), true, 2, 6},
        {"extensible, after another chunk", wavBytes(0xfffe, 1, 16000, 16, samples, true), true, 1, 6},
        {"data cut short: what is there", truncated, true, 1, 4},
        {"8-bit", wavBytes(1, 1, 48000, 8, samples), false, 0, 0},
        {"8-bit in blocks of two bytes", wavBytes(1, 1, 48000, 8, samples, false, 2), false, 0, 0},
        {"float", wavBytes(3, 1, 48000, 16, samples), false, 0, 0},
        {"no channels", wavBytes(1, 0, 48000, 16, samples), false, 0, 0},
        {"not WAVE", noWave, false, 0, 0},
        {"header only", headerOnly, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavAudio audio;
        ASSERT_EQ(c.ok, parseWav(c.bytes.data(), c.bytes.size(), &audio));
        if (c.ok) {
            EXPECT_EQ(c.channels, audio.channels);
            ASSERT_EQ(c.count, audio.samples.size());
            EXPECT_TRUE(std::equal(audio.samples.begin(), audio.samples.end(), samples.begin()));
        }
    }
}

TEST(WavFile, WrittenFilesReadBackAndResampleToMono)
{
    const std::string path = ::testing::TempDir() + "/wav_round_trip.wav";
    const std::vector<int16_t> stereo = {100, 300, -100, -300, 2000, 0, 0, 0};
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(path, 24000, 2));
        writer.write(stereo.data(), stereo.size());
    }
    WavAudio audio;
    ASSERT_TRUE(readWav(path, &audio));
    EXPECT_EQ(24000, audio.sampleRate);
    EXPECT_EQ(stereo, audio.samples);
    const std::vector<int16_t> mono = toMono(audio, 48000);
    ASSERT_EQ(8u, mono.size());
    EXPECT_EQ(200, mono[0]);
    EXPECT_EQ(0, mono[1]);  // halfway between 200 and -200
    EXPECT_EQ(-200, mono[2]);
    EXPECT_EQ(1000, mono[4]);
}

TEST(ColourConversion, RendererBytesAreAlphaRedGreenBlue)
{
    struct Case {
        const char* name;
        uint8_t r, g, b;
    };
    const Case cases[] = {{"red", 255, 0, 0}, {"green", 0, 255, 0}, {"blue", 0, 0, 255}, {"grey", 128, 128, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes argb(16 * 16 * 4);
        for (size_t i = 0; i < argb.size(); i += 4) {
            argb[i] = 0xff;
            argb[i + 1] = c.r;
            argb[i + 2] = c.g;
            argb[i + 3] = c.b;
        }
        const auto frame = argbToI420(argb.data(), 16, 16);
        Bytes back(argb.size());
        i420ToArgb(*frame, back.data());
        EXPECT_EQ(0xff, back[0]);
        EXPECT_NEAR(c.r, back[1], 12);
        EXPECT_NEAR(c.g, back[2], 12);
        EXPECT_NEAR(c.b, back[3], 12);
    }
    const auto frame = argbToI420(media_test::testPicture(64, 48).data(), 64, 48);
    const VideoFramePtr half = scaleFrame(frame, 32, 24);
    EXPECT_EQ(32, half->width);
    EXPECT_EQ(24, half->height);
    EXPECT_EQ(frame.get(), scaleFrame(frame, 64, 48).get());
}

TEST(Vp8Codec, PicturesComeBackCloseAndKeyframesComeWhenAsked)
{
    const int width = 320;
    const int height = 240;
    const Bytes original = media_test::testPicture(width, height);
    const auto frame = argbToI420(original.data(), width, height);
    Vp8Encoder encoder;
    encoder.setBitrate(800);
    Vp8Decoder decoder;
    std::vector<bool> keyframes;
    std::shared_ptr<VideoFrame> picture;
    for (int i = 0; i < 20; ++i) {
        if (i == 10)
            encoder.requestKeyframe();
        EncodedFrame encoded;
        ASSERT_TRUE(encoder.encode(*frame, uint32_t(i * 6000), &encoded));
        keyframes.push_back(encoded.keyframe);
        ASSERT_EQ(Vp8Decoder::Result::Picture, decoder.decode(encoded.data.data(), encoded.data.size(), &picture));
    }
    EXPECT_TRUE(keyframes[0]);
    EXPECT_FALSE(keyframes[1]);
    EXPECT_TRUE(keyframes[10]);
    EXPECT_EQ(3, std::count(keyframes.begin(), keyframes.end(), true) + 1) << "only the first and the asked one";
    ASSERT_EQ(width, picture->width);
    Bytes decoded(original.size());
    i420ToArgb(*picture, decoded.data());
    EXPECT_GT(media_test::psnr(original, decoded), 30);

    // A new size starts a new stream with a keyframe.
    const auto smaller = argbToI420(media_test::testPicture(160, 120).data(), 160, 120);
    EncodedFrame encoded;
    ASSERT_TRUE(encoder.encode(*smaller, 200000, &encoded));
    EXPECT_TRUE(encoded.keyframe);
    ASSERT_EQ(Vp8Decoder::Result::Picture, decoder.decode(encoded.data.data(), encoded.data.size(), &picture));
    EXPECT_EQ(160, picture->width);

    // Garbage is refused, not decoded.
    const Bytes garbage = countingBytes(300);
    Vp8Decoder fresh;
    EXPECT_NE(Vp8Decoder::Result::Picture, fresh.decode(garbage.data(), garbage.size(), &picture));
}

TEST(OpusCodec, ToneKeepsItsPitchAndALostFrameIsRebuilt)
{
    // 440 Hz up to frame 30, 880 Hz from frame 31 on: a rebuilt frame 30 is
    // told from frame 31 decoded in its place by its pitch.
    std::vector<int16_t> input = media_test::tone(440, kOpusSampleRate, kOpusFrameSamples * 31);
    const std::vector<int16_t> higher = media_test::tone(880, kOpusSampleRate, kOpusFrameSamples * 19);
    input.insert(input.end(), higher.begin(), higher.end());
    AudioEncoder encoder;
    AudioDecoder decoder;
    ASSERT_TRUE(encoder.valid());
    std::vector<Bytes> packets;
    for (size_t at = 0; at + kOpusFrameSamples <= input.size(); at += kOpusFrameSamples) {
        Bytes packet;
        ASSERT_TRUE(encoder.encode(&input[at], &packet));
        packets.push_back(packet);
    }
    std::vector<int16_t> output;
    int16_t frame[kOpusFrameSamples];
    for (size_t i = 0; i < packets.size(); ++i) {
        // Frame 30 is lost and rebuilt from frame 31; frame 40 is concealed.
        if (i == 30)
            ASSERT_TRUE(decoder.decodeFromNext(packets[31].data(), packets[31].size(), frame));
        else if (i == 40)
            ASSERT_TRUE(decoder.conceal(frame));
        else
            ASSERT_TRUE(decoder.decode(packets[i].data(), packets[i].size(), frame));
        output.insert(output.end(), frame, frame + kOpusFrameSamples);
    }
    const auto frameStart = [&](int frame) { return output.begin() + frame * kOpusFrameSamples; };
    const std::vector<int16_t> rebuilt(frameStart(30), frameStart(31));
    EXPECT_NEAR(440, media_test::dominantFrequency(rebuilt, kOpusSampleRate), 20);  // 20 ms: coarse
    EXPECT_GT(media_test::rms(rebuilt), 2000);
    const std::vector<int16_t> before(frameStart(10), frameStart(30));
    EXPECT_EQ(440, media_test::dominantFrequency(before, kOpusSampleRate));
    const std::vector<int16_t> after(frameStart(32), output.end());
    EXPECT_EQ(880, media_test::dominantFrequency(after, kOpusSampleRate));
    EXPECT_FALSE(decoder.decode(nullptr, 0, frame));
}

// A received stream that loses frame 30 of a tone that changes at every one
// of frames 29, 30 and 31: only the next packet's redundancy brings back
// frame 30's own pitch, which concealment (going on from frame 29) misses.
// A frame counts as rebuilt only where that redundancy was there.
TEST(OpusCodec, ALostFrameUnlikeTheOneBeforeIsRebuiltFromTheNextPacketsRedundancyOnly)
{
    constexpr int kLost = 30;
    constexpr int kFrames = 40;
    constexpr int kBefore = 300, kLostTone = 700, kAfter = 1200;
    std::vector<int16_t> input = media_test::tone(kBefore, kOpusSampleRate, kOpusFrameSamples * kLost);
    for (const auto& [tone, frames] : {std::pair{kLostTone, 1}, std::pair{kAfter, kFrames - kLost - 1}}) {
        const std::vector<int16_t> part = media_test::tone(tone, kOpusSampleRate, kOpusFrameSamples * frames);
        input.insert(input.end(), part.begin(), part.end());
    }
    struct Case {
        const char* name;
        int expectedLoss;  // percent, as the receivers' reports set it
        bool redundancy;
    };
    for (const Case& c : {Case{"loss expected", 10, true}, Case{"no loss expected", 0, false}}) {
        SCOPED_TRACE(c.name);
        AudioEncoder encoder;
        ASSERT_TRUE(encoder.valid());
        encoder.setExpectedLoss(c.expectedLoss);
        RemoteAudioStream stream(1234);
        std::vector<int16_t> output;
        int16_t frame[kOpusFrameSamples];
        bool nextCarries = false;
        for (int i = 0; i < kFrames; ++i) {
            Bytes packet;
            ASSERT_TRUE(encoder.encode(&input[size_t(i) * kOpusFrameSamples], &packet));
            if (i == kLost + 1)
                nextCarries = AudioDecoder::carriesRedundancy(packet.data(), packet.size());
            if (i != kLost)
                stream.onPacket(uint16_t(65500 + i), packet.data(), packet.size());
            // Playout runs two packets behind: the lost frame's turn comes with the next one here.
            if (i >= 2) {
                stream.pull(frame);
                output.insert(output.end(), frame, frame + kOpusFrameSamples);
            }
        }
        EXPECT_EQ(c.redundancy, nextCarries);
        const RemoteAudioStream::Counters counted = stream.counters();
        EXPECT_EQ(c.redundancy ? 1 : 0, counted.framesFromFec);
        EXPECT_EQ(c.redundancy ? 0 : 1, counted.framesConcealed);
        EXPECT_EQ(kFrames - 3, counted.framesDecoded);

        const auto frameAt = [&](int i) {
            return std::vector<int16_t>(output.begin() + i * kOpusFrameSamples,
                                        output.begin() + (i + 1) * kOpusFrameSamples);
        };
        const int rebuilt = media_test::dominantFrequency(frameAt(kLost), kOpusSampleRate);
        if (c.redundancy) {
            EXPECT_NEAR(kLostTone, rebuilt, 50);  // 20 ms: coarse
            EXPECT_GT(media_test::rms(frameAt(kLost)), 2000);
        } else {
            EXPECT_GT(std::abs(rebuilt - kLostTone), 100) << "concealment cannot know the lost frame's pitch";
        }
        EXPECT_NEAR(kBefore, media_test::dominantFrequency(frameAt(kLost - 2), kOpusSampleRate), 20);
        EXPECT_NEAR(kAfter, media_test::dominantFrequency(frameAt(kLost + 2), kOpusSampleRate), 20);
    }

    // Music (CELT) and what is no packet carry no redundancy.
    const uint8_t celt[] = {0x80 | 0x78, 0xff, 0x00, 0x12};
    EXPECT_FALSE(AudioDecoder::carriesRedundancy(celt, sizeof celt));
    EXPECT_FALSE(AudioDecoder::carriesRedundancy(nullptr, 0));
    const uint8_t truncated[] = {0x0b};  // two frames announced, none there
    EXPECT_FALSE(AudioDecoder::carriesRedundancy(truncated, sizeof truncated));
}

}  // namespace
