#include "engine/input/audio_resampler.h"

#include <new>

#include "engine/media/media_lib.h"

namespace vexo {

SwrContext* NewAudioResampler(int32_t outChannels, int32_t inChannels, int32_t outRate,
                              int32_t inRate) {
  AVChannelLayout outLayout{}, inLayout{};
  ff::av_channel_layout_default(&outLayout, outChannels);
  ff::av_channel_layout_default(&inLayout, inChannels);
  SwrContext* resampler = nullptr;
  const int made = ff::swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, outRate,
                                           &inLayout, AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
  ff::av_channel_layout_uninit(&outLayout);
  ff::av_channel_layout_uninit(&inLayout);
  if (made < 0 || !resampler || ff::swr_init(resampler) < 0) {
    if (resampler) ff::swr_free(&resampler);
    throw std::bad_alloc();
  }
  return resampler;
}

void FreeAudioResampler(SwrContext*& resampler) {
  if (resampler) ff::swr_free(&resampler);
  resampler = nullptr;
}

}  // namespace vexo
