// The three pre-transformed vertex layouts the Direct3D layer sends: x and
// y in pixels, z, rhw 1.0, then colours and texture coordinates.
#pragma once

#include <cstdint>

struct Vertex20 {  // untextured primitives
    float x, y, z, rhw;
    std::uint32_t diffuse;
};

struct Vertex28 {  // textured draws; also a tile's ready quad
    float x, y, z, rhw;
    std::uint32_t diffuse;
    float u, v;
};

struct Vertex40 {  // textured draws with a blend-mask graphic
    float x, y, z, rhw;
    std::uint32_t diffuse, specular;
    float u0, v0, u1, v1;
};

static_assert(sizeof(Vertex20) == 20 && sizeof(Vertex28) == 28 && sizeof(Vertex40) == 40);
