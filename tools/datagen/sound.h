// Sound effects and music of the stand-in set, as 16-bit mono PCM WAV.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 22050;

std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples);
std::vector<std::int16_t> MakeEffect(const std::string& name);
// Track 1-6: a short tune whose notes start and end at rest, so it loops
// without a click.
std::vector<std::int16_t> MakeMusic(int track);
