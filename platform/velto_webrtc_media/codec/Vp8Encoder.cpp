#include "Vp8Encoder.h"

#include <vpx/vp8cx.h>
#include <vpx/vpx_encoder.h>

#include <algorithm>

namespace velto_media {

struct Vp8Encoder::Codec {
    vpx_codec_ctx_t context{};
    vpx_codec_enc_cfg_t config{};
    bool open = false;
    ~Codec()
    {
        if (open)
            vpx_codec_destroy(&context);
    }
};

Vp8Encoder::Vp8Encoder(bool screen) : screen_(screen) {}

Vp8Encoder::~Vp8Encoder() = default;

void Vp8Encoder::setBitrate(int kbps)
{
    bitrateKbps_ = std::clamp(kbps, 30, 20000);
}

void Vp8Encoder::setFrameRate(int fps)
{
    frameRate_ = std::clamp(fps, 1, 60);
}

bool Vp8Encoder::configure(int width, int height)
{
    auto codec = std::make_unique<Codec>();
    vpx_codec_iface_t* iface = vpx_codec_vp8_cx();
    if (vpx_codec_enc_config_default(iface, &codec->config, 0) != VPX_CODEC_OK)
        return false;
    vpx_codec_enc_cfg_t& c = codec->config;
    c.g_w = static_cast<unsigned>(width);
    c.g_h = static_cast<unsigned>(height);
    c.g_timebase = {1, 90000};
    // A second thread halves a large camera picture's delay; a screen, at a
    // few pictures a second and most of them not encoded at all, keeps to
    // one: libvpx's threads wait for each other spinning, which costs more
    // than it saves, worst on a busy machine.
    c.g_threads = !screen_ && width * height > 1280 * 720 ? 2 : 1;
    c.g_error_resilient = VPX_ERROR_RESILIENT_DEFAULT;
    c.g_lag_in_frames = 0;
    c.g_pass = VPX_RC_ONE_PASS;
    c.rc_end_usage = VPX_CBR;
    c.rc_target_bitrate = static_cast<unsigned>(bitrateKbps_.load());
    c.rc_min_quantizer = screen_ ? 4 : 2;
    c.rc_max_quantizer = 56;
    c.rc_undershoot_pct = 100;
    c.rc_overshoot_pct = 15;
    c.rc_buf_initial_sz = 500;
    c.rc_buf_optimal_sz = 600;
    c.rc_buf_sz = 1000;
    c.rc_dropframe_thresh = 0;
    // Keyframes come on request (a receiver's PLI); a rare automatic one
    // heals a receiver whose requests were lost.
    c.kf_mode = VPX_KF_AUTO;
    c.kf_min_dist = 0;
    c.kf_max_dist = 3000;
    if (vpx_codec_enc_init(&codec->context, iface, &codec->config, 0) != VPX_CODEC_OK)
        return false;
    codec->open = true;
    vpx_codec_control(&codec->context, VP8E_SET_CPUUSED, screen_ ? -16 : -6);
    vpx_codec_control(&codec->context, VP8E_SET_NOISE_SENSITIVITY, 0u);
    vpx_codec_control(&codec->context, VP8E_SET_STATIC_THRESHOLD, 1u);
    vpx_codec_control(&codec->context, VP8E_SET_TOKEN_PARTITIONS, static_cast<int>(VP8_ONE_TOKENPARTITION));
    // A keyframe may take a few frames' worth of bits, not a second's.
    vpx_codec_control(&codec->context, VP8E_SET_MAX_INTRA_BITRATE_PCT, 600u);
    if (screen_)
        vpx_codec_control(&codec->context, VP8E_SET_SCREEN_CONTENT_MODE, 1u);
    codec_ = std::move(codec);
    configuredBitrate_ = bitrateKbps_;
    keyframeWanted_ = true;
    return true;
}

bool Vp8Encoder::encode(const VideoFrame& frame, uint32_t, EncodedFrame* out)
{
    out->data.clear();
    out->keyframe = false;
    if (frame.width <= 0 || frame.height <= 0 || frame.y.size() < size_t(frame.width) * frame.height)
        return false;
    // libvpx cannot grow a VP8 stream's size: a new size is a new stream.
    if (!codec_ || codec_->config.g_w != unsigned(frame.width) || codec_->config.g_h != unsigned(frame.height)) {
        codec_.reset();
        if (!configure(frame.width, frame.height))
            return false;
    }
    if (configuredBitrate_ != bitrateKbps_) {
        codec_->config.rc_target_bitrate = static_cast<unsigned>(bitrateKbps_.load());
        if (vpx_codec_enc_config_set(&codec_->context, &codec_->config) == VPX_CODEC_OK)
            configuredBitrate_ = bitrateKbps_;
    }

    vpx_image_t image;
    vpx_img_wrap(&image, VPX_IMG_FMT_I420, unsigned(frame.width), unsigned(frame.height), 1,
                 const_cast<uint8_t*>(frame.y.data()));
    image.planes[VPX_PLANE_U] = const_cast<uint8_t*>(frame.u.data());
    image.planes[VPX_PLANE_V] = const_cast<uint8_t*>(frame.v.data());
    image.stride[VPX_PLANE_Y] = frame.width;
    image.stride[VPX_PLANE_U] = frame.width / 2;
    image.stride[VPX_PLANE_V] = frame.width / 2;

    const vpx_enc_frame_flags_t flags = keyframeWanted_.exchange(false) ? VPX_EFLAG_FORCE_KF : 0;
    const unsigned long duration = 90000 / static_cast<unsigned long>(frameRate_.load());
    if (vpx_codec_encode(&codec_->context, &image, pts_, duration, flags, VPX_DL_REALTIME) != VPX_CODEC_OK) {
        keyframeWanted_ = keyframeWanted_ || flags != 0;
        return false;
    }
    pts_ += static_cast<int64_t>(duration);
    int quantizer = 0;
    if (vpx_codec_control(&codec_->context, VP8E_GET_LAST_QUANTIZER_64, &quantizer) == VPX_CODEC_OK)
        lastQuantizer_ = quantizer;
    vpx_codec_iter_t iter = nullptr;
    while (const vpx_codec_cx_pkt_t* packet = vpx_codec_get_cx_data(&codec_->context, &iter)) {
        if (packet->kind != VPX_CODEC_CX_FRAME_PKT)
            continue;
        const auto* bytes = static_cast<const uint8_t*>(packet->data.frame.buf);
        out->data.insert(out->data.end(), bytes, bytes + packet->data.frame.sz);
        out->keyframe = out->keyframe || (packet->data.frame.flags & VPX_FRAME_IS_KEY) != 0;
    }
    return !out->data.empty();
}

}  // namespace velto_media
