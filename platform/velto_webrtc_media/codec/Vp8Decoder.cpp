#include "Vp8Decoder.h"

#include <libyuv/planar_functions.h>
#include <vpx/vp8dx.h>
#include <vpx/vpx_decoder.h>

#include "rtp/Vp8Payload.h"

namespace velto_media {

struct Vp8Decoder::Codec {
    vpx_codec_ctx_t context{};
    bool open = false;
    ~Codec()
    {
        if (open)
            vpx_codec_destroy(&context);
    }
};

Vp8Decoder::Vp8Decoder() : codec_(std::make_unique<Codec>())
{
    vpx_codec_dec_cfg_t config{};
    config.threads = 1;
    codec_->open = vpx_codec_dec_init(&codec_->context, vpx_codec_vp8_dx(), &config, 0) == VPX_CODEC_OK;
}

Vp8Decoder::~Vp8Decoder() = default;

Vp8Decoder::Result Vp8Decoder::decode(const uint8_t* data, size_t size, std::shared_ptr<VideoFrame>* picture)
{
    if (!codec_->open || !data || size == 0 || size > 0xffffffffu)
        return Result::Failed;
    // libvpx allocates what a keyframe's header announces before it reads
    // the picture: a size beyond ours is refused first.
    int announcedWidth = 0, announcedHeight = 0;
    if (rtp::vp8KeyframeSize(data, size, &announcedWidth, &announcedHeight) &&
        !rtp::pictureSizeAllowed(announcedWidth, announcedHeight))
        return Result::Failed;
    if (vpx_codec_decode(&codec_->context, data, static_cast<unsigned int>(size), nullptr, 0) != VPX_CODEC_OK)
        return Result::Failed;
    int corrupted = 0;
    if (vpx_codec_control(&codec_->context, VP8D_GET_FRAME_CORRUPTED, &corrupted) == VPX_CODEC_OK && corrupted)
        return Result::Failed;
    vpx_codec_iter_t iter = nullptr;
    vpx_image_t* image = vpx_codec_get_frame(&codec_->context, &iter);
    if (!image || image->fmt != VPX_IMG_FMT_I420)
        return Result::NoPicture;
    // Our pictures have even sides; an odd last row or column is left out.
    const int width = static_cast<int>(image->d_w) & ~1;
    const int height = static_cast<int>(image->d_h) & ~1;
    if (width <= 0 || height <= 0)
        return Result::NoPicture;
    auto frame = VideoFrame::black(width, height);
    libyuv::I420Copy(image->planes[VPX_PLANE_Y], image->stride[VPX_PLANE_Y], image->planes[VPX_PLANE_U],
                     image->stride[VPX_PLANE_U], image->planes[VPX_PLANE_V], image->stride[VPX_PLANE_V],
                     frame->y.data(), width, frame->u.data(), width / 2, frame->v.data(), width / 2, width, height);
    *picture = std::move(frame);
    return Result::Picture;
}

}  // namespace velto_media
