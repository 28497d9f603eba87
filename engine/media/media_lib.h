#pragma once
// Run-time binding of the FFmpeg libraries. The rest of the engine calls
// FFmpeg only through the function references in namespace vexo::ff, which
// MediaLibLoad resolves by name. FFmpeg's headers are used for its types.
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// Entry points per library, in the order they are resolved. Every one must be
// present for its library to count as loaded. Add a call here before using it.
#define VEXO_AVUTIL_ENTRY_POINTS(X) \
  X(avutil_version)                 \
  X(av_log_get_level)               \
  X(av_log_set_level)               \
  X(av_log_set_callback)            \
  X(av_log)                         \
  X(av_free)                        \
  X(av_freep)                       \
  X(av_malloc)                      \
  X(av_mallocz)                     \
  X(av_strerror)                    \
  X(av_frame_alloc)                 \
  X(av_frame_free)                  \
  X(av_frame_unref)                 \
  X(av_frame_get_buffer)            \
  X(av_image_get_buffer_size)       \
  X(av_image_fill_arrays)           \
  X(av_image_copy)                  \
  X(av_get_pix_fmt)                 \
  X(av_get_pix_fmt_name)            \
  X(av_pix_fmt_desc_get)            \
  X(av_channel_layout_default)      \
  X(av_channel_layout_copy)         \
  X(av_channel_layout_uninit)       \
  X(av_rescale_q)                   \
  X(av_rescale_rnd)                 \
  X(av_dict_get)                    \
  X(av_dict_set)                    \
  X(av_dict_free)                   \
  X(av_opt_set_int)                 \
  X(av_get_bytes_per_sample)        \
  X(av_samples_get_buffer_size)

#define VEXO_AVFORMAT_ENTRY_POINTS(X) \
  X(avformat_version)                 \
  X(avformat_alloc_context)           \
  X(avformat_open_input)              \
  X(avformat_find_stream_info)        \
  X(av_read_frame)                    \
  X(av_seek_frame)                    \
  X(avformat_seek_file)               \
  X(av_index_search_timestamp)        \
  X(avformat_close_input)             \
  X(avformat_free_context)            \
  X(av_find_input_format)             \
  X(av_stream_get_side_data)          \
  X(avio_size)                        \
  X(avio_seek)                        \
  X(avio_alloc_context)               \
  X(avio_context_free)                \
  X(avformat_index_get_entries_count) \
  X(avformat_index_get_entry)

#define VEXO_AVCODEC_ENTRY_POINTS(X) \
  X(avcodec_version)                 \
  X(avcodec_find_decoder)            \
  X(avcodec_find_decoder_by_name)    \
  X(avcodec_find_encoder_by_name)    \
  X(avcodec_send_frame)              \
  X(avcodec_receive_packet)          \
  X(avcodec_get_name)                \
  X(avcodec_alloc_context3)          \
  X(avcodec_free_context)            \
  X(avcodec_parameters_to_context)   \
  X(avcodec_open2)                   \
  X(avcodec_is_open)                 \
  X(avcodec_close)                   \
  X(avcodec_send_packet)             \
  X(avcodec_receive_frame)           \
  X(avcodec_flush_buffers)           \
  X(av_packet_alloc)                 \
  X(av_packet_free)                  \
  X(av_packet_ref)                   \
  X(av_packet_unref)                 \
  X(av_packet_move_ref)              \
  X(av_packet_make_refcounted)       \
  X(av_packet_clone)                 \
  X(av_packet_get_side_data)         \
  X(av_new_packet)                   \
  X(avcodec_descriptor_get)          \
  X(avcodec_decode_subtitle2)        \
  X(avsubtitle_free)

#define VEXO_SWRESAMPLE_ENTRY_POINTS(X) \
  X(swresample_version)                 \
  X(swr_alloc_set_opts2)                \
  X(swr_init)                           \
  X(swr_convert)                        \
  X(swr_get_delay)                      \
  X(swr_free)

// Pictures in formats the engine's own conversion has no path for.
#define VEXO_SWSCALE_ENTRY_POINTS(X) \
  X(swscale_version)                 \
  X(sws_getCachedContext)            \
  X(sws_freeContext)                 \
  X(sws_scale)                       \
  X(sws_setColorspaceDetails)        \
  X(sws_getCoefficients)             \
  X(sws_isSupportedInput)

namespace vexo {
namespace ff {
#define VEXO_DECLARE_ENTRY_POINT(name) extern decltype(&::name) name;
VEXO_AVUTIL_ENTRY_POINTS(VEXO_DECLARE_ENTRY_POINT)
VEXO_AVFORMAT_ENTRY_POINTS(VEXO_DECLARE_ENTRY_POINT)
VEXO_AVCODEC_ENTRY_POINTS(VEXO_DECLARE_ENTRY_POINT)
VEXO_SWRESAMPLE_ENTRY_POINTS(VEXO_DECLARE_ENTRY_POINT)
VEXO_SWSCALE_ENTRY_POINTS(VEXO_DECLARE_ENTRY_POINT)
#undef VEXO_DECLARE_ENTRY_POINT
}  // namespace ff

// The libraries, in loading order.
enum TMediaLib { mlAvUtil, mlAvFormat, mlAvCodec, mlSwResample, mlSwScale, mlCount };

// File name of each library (the run-time name with its major version).
const char* MediaLibFileName(TMediaLib lib);

// Where MediaLibLoad looks: first `folder` (the program folder unless set),
// then, when `systemSearch` is on, the system's library search path.
void MediaLibSetSearch(const std::string& folder, bool systemSearch);

// Loads every library (each one tried whatever happened to the others) and
// resolves all entry points; true only when every library loaded, resolved and
// reports the major version the engine was built against.
bool MediaLibLoad();
// Unloads the libraries that are loaded and clears their entry points.
void MediaLibUnload();
// Kept for the start-up order; FFmpeg registers its codecs and formats itself.
void MediaLibInit();

// Whether a library is loaded (its file opened, even if resolution failed).
bool MediaLibIsLoaded(TMediaLib lib);
// Whether every entry point of a library is resolved.
bool MediaLibIsResolved(TMediaLib lib);

// "Some components of Vexo Player were not found. Vexo Player must be reinstalled."
std::string MediaLibFailureText();

}  // namespace vexo
