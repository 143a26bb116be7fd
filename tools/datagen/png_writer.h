// A plain PNG encoder (stored deflate blocks) for the contact sheet.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"

std::vector<std::uint8_t> EncodePng(const Image& image);
