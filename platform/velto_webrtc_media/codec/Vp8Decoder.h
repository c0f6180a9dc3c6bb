// VP8 decoder (libvpx). One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "VideoFrame.h"

namespace velto_media {

class Vp8Decoder {
public:
    Vp8Decoder();
    ~Vp8Decoder();
    Vp8Decoder(const Vp8Decoder&) = delete;
    Vp8Decoder& operator=(const Vp8Decoder&) = delete;

    enum class Result { Picture, NoPicture, Failed };
    // Decodes one whole frame. Failed (broken or undecodable data, a picture
    // built on a lost reference): the stream needs a keyframe.
    Result decode(const uint8_t* data, size_t size, std::shared_ptr<VideoFrame>* picture);

private:
    struct Codec;
    std::unique_ptr<Codec> codec_;
};

}  // namespace velto_media
