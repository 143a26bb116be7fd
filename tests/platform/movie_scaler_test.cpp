// The movie reader scales each frame into a BGRA block followed by a little
// slack. The scaler's vector loops write whole groups of pixels and so run
// past a row's end; the slack must hold the longest such run of the scaler
// this build links, or the last row of a frame overwrites the heap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "dshow/movie_player.h"

TEST(MovieScaler, EveryOverrunOfTheScalerLandsInTheFramesSlack) {
    av_log_set_level(AV_LOG_QUIET);
    constexpr std::uint8_t kGuard = 0xAB;
    std::size_t longest = 0;
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUVA420P, AV_PIX_FMT_YUV444P,
                                 AV_PIX_FMT_YUV410P, AV_PIX_FMT_PAL8, AV_PIX_FMT_RGB24}) {
        for (int from : {1, 7, 13, 33, 100}) {
            for (int to : {1, 5, 13, 31, 97, 161}) {
                for (int rows : {1, 3, 8}) {
                    AVFrame* decoded = av_frame_alloc();
                    decoded->format = format;
                    decoded->width = from;
                    decoded->height = rows;
                    ASSERT_GE(av_frame_get_buffer(decoded, 0), 0);
                    SwsContext* scaler = sws_getCachedContext(nullptr, from, rows, format, to, rows, AV_PIX_FMT_BGRA,
                                                              SWS_POINT, nullptr, nullptr, nullptr);
                    ASSERT_NE(scaler, nullptr);
                    const std::size_t pixels = static_cast<std::size_t>(to) * rows * 4;
                    // Twice the slack, to see how far past it a write would go.
                    std::vector<std::uint8_t> bgra(pixels + 2 * kMovieScalerSlack, kGuard);
                    std::uint8_t* planes[4] = {bgra.data(), nullptr, nullptr, nullptr};
                    const int pitches[4] = {to * 4, 0, 0, 0};
                    EXPECT_EQ(sws_scale(scaler, decoded->data, decoded->linesize, 0, rows, planes, pitches), rows);
                    for (std::size_t i = pixels; i < bgra.size(); ++i)
                        if (bgra[i] != kGuard) longest = std::max(longest, i - pixels + 1);
                    sws_freeContext(scaler);
                    av_frame_free(&decoded);
                }
            }
        }
    }
    EXPECT_LE(longest, kMovieScalerSlack) << "the scaler writes " << longest << " bytes past a frame";
    RecordProperty("longest_overrun", static_cast<int>(longest));
}
