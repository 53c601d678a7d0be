#pragma once
// FFmpeg reached through a table loaded on first use. Linked at start-up, FFmpeg and
// the hundred libraries behind it cost every run of the game about 20 MB of resident
// memory, though nothing plays a movie unless a graph file turns out to be one. A unit
// that includes this header after FFmpeg's own calls the functions by their usual
// names; they go through the table.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// X(library, function) for every FFmpeg function the filters call.
#define FFMPEG_CALLS(X)                                                                     \
  X(avutil, av_log_set_level) X(avutil, av_rescale_q) X(avutil, av_rescale)                  \
  X(avutil, av_frame_alloc) X(avutil, av_frame_free) X(avutil, av_frame_unref)              \
  X(avutil, av_channel_layout_copy) X(avutil, av_channel_layout_default)                    \
  X(avutil, av_channel_layout_uninit)                                                       \
  X(avcodec, av_packet_alloc) X(avcodec, av_packet_free) X(avcodec, av_packet_unref)        \
  X(avcodec, av_packet_move_ref)                                                            \
  X(avcodec, avcodec_find_decoder) X(avcodec, avcodec_alloc_context3)                       \
  X(avcodec, avcodec_parameters_to_context) X(avcodec, avcodec_open2)                       \
  X(avcodec, avcodec_free_context) X(avcodec, avcodec_flush_buffers)                        \
  X(avcodec, avcodec_send_packet) X(avcodec, avcodec_receive_frame)                         \
  X(avformat, avformat_open_input) X(avformat, avformat_find_stream_info)                   \
  X(avformat, avformat_close_input) X(avformat, avformat_seek_file)                         \
  X(avformat, av_seek_frame) X(avformat, av_read_frame) X(avformat, av_find_best_stream)     \
  X(swscale, sws_getCachedContext) X(swscale, sws_scale) X(swscale, sws_freeContext)        \
  X(swresample, swr_alloc_set_opts2) X(swresample, swr_init) X(swresample, swr_free)        \
  X(swresample, swr_convert) X(swresample, swr_get_out_samples)

struct FfmpegTable {
#define FFMPEG_SLOT(library, function) decltype(&::function) function;
  FFMPEG_CALLS(FFMPEG_SLOT)
#undef FFMPEG_SLOT
};

// Loads the libraries and every function once; false (with nothing loaded) when any is
// missing. Later calls give the first answer.
bool LoadFfmpeg();
// Whether LoadFfmpeg has succeeded; never loads.
bool FfmpegLoaded();
// The table; only after LoadFfmpeg returned true.
const FfmpegTable& Ffmpeg();

#ifndef FFMPEG_CALLS_NO_NAMES
#define av_log_set_level Ffmpeg().av_log_set_level
#define av_rescale_q Ffmpeg().av_rescale_q
#define av_rescale Ffmpeg().av_rescale
#define av_frame_alloc Ffmpeg().av_frame_alloc
#define av_frame_free Ffmpeg().av_frame_free
#define av_frame_unref Ffmpeg().av_frame_unref
#define av_channel_layout_copy Ffmpeg().av_channel_layout_copy
#define av_channel_layout_default Ffmpeg().av_channel_layout_default
#define av_channel_layout_uninit Ffmpeg().av_channel_layout_uninit
#define av_packet_alloc Ffmpeg().av_packet_alloc
#define av_packet_free Ffmpeg().av_packet_free
#define av_packet_unref Ffmpeg().av_packet_unref
#define av_packet_move_ref Ffmpeg().av_packet_move_ref
#define avcodec_find_decoder Ffmpeg().avcodec_find_decoder
#define avcodec_alloc_context3 Ffmpeg().avcodec_alloc_context3
#define avcodec_parameters_to_context Ffmpeg().avcodec_parameters_to_context
#define avcodec_open2 Ffmpeg().avcodec_open2
#define avcodec_free_context Ffmpeg().avcodec_free_context
#define avcodec_flush_buffers Ffmpeg().avcodec_flush_buffers
#define avcodec_send_packet Ffmpeg().avcodec_send_packet
#define avcodec_receive_frame Ffmpeg().avcodec_receive_frame
#define avformat_open_input Ffmpeg().avformat_open_input
#define avformat_find_stream_info Ffmpeg().avformat_find_stream_info
#define avformat_close_input Ffmpeg().avformat_close_input
#define avformat_seek_file Ffmpeg().avformat_seek_file
#define av_seek_frame Ffmpeg().av_seek_frame
#define av_read_frame Ffmpeg().av_read_frame
#define av_find_best_stream Ffmpeg().av_find_best_stream
#define sws_getCachedContext Ffmpeg().sws_getCachedContext
#define sws_scale Ffmpeg().sws_scale
#define sws_freeContext Ffmpeg().sws_freeContext
#define swr_alloc_set_opts2 Ffmpeg().swr_alloc_set_opts2
#define swr_init Ffmpeg().swr_init
#define swr_free Ffmpeg().swr_free
#define swr_convert Ffmpeg().swr_convert
#define swr_get_out_samples Ffmpeg().swr_get_out_samples
#endif
