// Geometry as the world builds it and the renderer draws it: one vertex
// layout for everything, and meshes split into blocks that a view can skip.
#pragma once

#include "main_program/scene/scene_math.h"

#include <cstdint>
#include <vector>

namespace scene {

// Position relative to the camera, A8R8G8B8 colour, one texture coordinate.
struct Vertex {
    float x, y, z;
    std::uint32_t color;
    float u, v;
};

// Triangles [firstIndex, firstIndex + indexCount) of a mesh, inside a box.
struct Block {
    std::uint32_t firstIndex = 0, indexCount = 0;
    Vec3 low, high;
};

struct Mesh {
    std::vector<Vertex> vertices;      // at most 65536
    std::vector<std::uint16_t> indices; // triangle list
    std::vector<Block> blocks;
    void Clear() {
        vertices.clear();
        indices.clear();
        blocks.clear();
    }
};

} // namespace scene
