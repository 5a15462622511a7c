// The landscape's rings of ground and water around the camera.
#include "main_program/scene/clipmap.h"

#include <algorithm>
#include <cmath>

namespace scene {

namespace {

constexpr int kBlockCells = 16;
constexpr int kMargin = 2; // samples kept around a ring for its normals
constexpr int kHazeBins = 256;

struct Shaded {
    Color color;
    float alpha;
};
Shaded Average(const Shaded& a, const Shaded& b) { return {(a.color + b.color) * 0.5f, (a.alpha + b.alpha) * 0.5f}; }
Shaded Blend(const Shaded& a, const Shaded& b, float t) {
    if (t >= 1.0f) return b;
    return {Lerp(a.color, b.color, t), Mix(a.alpha, b.alpha, t)};
}

// 0..1 around the circle, monotonic in the angle though not proportional to it.
float PseudoAngle(float x, float y) {
    const float sum = std::fabs(x) + std::fabs(y);
    if (sum <= 0) return 0;
    const float p = y / sum;
    return (x >= 0 ? (p < 0 ? p + 4.0f : p) : 2.0f - p) * 0.25f;
}

std::int64_t FloorDiv(double value, double step) { return static_cast<std::int64_t>(std::floor(value / step)); }

void BoxAdd(Block& block, const Vertex& v) {
    block.low = {std::min(block.low.x, v.x), std::min(block.low.y, v.y), std::min(block.low.z, v.z)};
    block.high = {std::max(block.high.x, v.x), std::max(block.high.y, v.y), std::max(block.high.z, v.z)};
}
Block EmptyBlock(std::size_t firstIndex) {
    Block block;
    block.firstIndex = static_cast<std::uint32_t>(firstIndex);
    block.low = {1e30f, 1e30f, 1e30f};
    block.high = {-1e30f, -1e30f, -1e30f};
    return block;
}

} // namespace

double ClipmapShape::Reach() const { return cells / 2.0 * spacing * std::ldexp(1.0, levels - 1); }

Clipmap::Clipmap(const Terrain& terrain, ClipmapShape shape) : terrain_(terrain), shape_(shape) {
    levels_.resize(static_cast<std::size_t>(shape_.levels));
    for (Level& level : levels_) {
        level.size = shape_.cells + 2 * kMargin + 4;
        level.cache.resize(static_cast<std::size_t>(level.size) * level.size);
    }
}

float Clipmap::FarDistance() const {
    return static_cast<float>(shape_.Reach() - 1.5 * shape_.spacing * std::ldexp(1.0, shape_.levels - 1));
}

const Clipmap::Sample& Clipmap::At(int level, std::int64_t gx, std::int64_t gy) {
    Level& cache = levels_[static_cast<std::size_t>(level)];
    const std::int64_t size = cache.size;
    const std::int64_t ix = ((gx % size) + size) % size, iy = ((gy % size) + size) % size;
    Sample& sample = cache.cache[static_cast<std::size_t>(iy * size + ix)];
    if (sample.gx != gx || sample.gy != gy) {
        const double spacing = shape_.spacing * std::ldexp(1.0, level);
        const double x = static_cast<double>(gx) * spacing, y = static_cast<double>(gy) * spacing;
        sample.gx = gx;
        sample.gy = gy;
        const TerrainHeights heights = terrain_.Heights(x, y);
        sample.height = heights.height;
        sample.woodland = heights.woodland;
        ++computed_;
    }
    return sample;
}

void Clipmap::Build(const DVec3& camera, const SkyState& sky, float textureShow, std::vector<Mesh>& ground,
                    std::vector<Mesh>& water) {
    haze_.resize(kHazeBins + 1);
    for (int i = 0; i <= kHazeBins; ++i) {
        // The direction whose pseudo-angle starts the bin.
        const float p = 4.0f * static_cast<float>(i % kHazeBins) / kHazeBins;
        float x = 1 - p, y = p;
        if (p >= 3) x = p - 3, y = p - 4;
        else if (p > 1) x = std::fabs(2 - p) - 1, y = 2 - p;
        haze_[static_cast<std::size_t>(i)] = HazeColor(sky, Normalize({x, y, 0}));
    }
    ground.resize(levels_.size());
    water.resize(levels_.size());
    for (int level = 0; level < shape_.levels; ++level)
        BuildLevel(level, camera, sky, textureShow, ground[static_cast<std::size_t>(level)],
                   water[static_cast<std::size_t>(level)]);
}

void Clipmap::BuildLevel(int level, const DVec3& camera, const SkyState& sky, float textureShow, Mesh& ground,
                         Mesh& water) {
    ground.Clear();
    water.Clear();
    const int cells = shape_.cells, side = cells + 1, wide = side + 2 * kMargin;
    const double spacing = shape_.spacing * std::ldexp(1.0, level);
    const auto s = static_cast<float>(spacing);
    // The ring's centre is on the next coarser ring's grid, so its edge is too.
    const std::int64_t cx = 2 * std::llround(camera.x / (2 * spacing)), cy = 2 * std::llround(camera.y / (2 * spacing));
    const std::int64_t ox = cx - cells / 2, oy = cy - cells / 2;
    const double textureX = static_cast<double>(FloorDiv(camera.x, 1024.0)) * 1024.0;
    const double textureY = static_cast<double>(FloorDiv(camera.y, 1024.0)) * 1024.0;
    const float farDistance = FarDistance();
    const bool outermost = level == shape_.levels - 1;
    const float reach = static_cast<float>(cells / 2) * s;
    const float blendWidth = 0.25f * reach, blendEnd = reach - s, blendStart = blendEnd - blendWidth;

    heights_.assign(static_cast<std::size_t>(wide) * wide, 0.0f);
    std::vector<float> woodland(heights_.size());
    for (int j = 0; j < wide; ++j)
        for (int i = 0; i < wide; ++i) {
            const Sample& sample = At(level, ox + i - kMargin, oy + j - kMargin);
            heights_[static_cast<std::size_t>(j * wide + i)] = sample.height;
            woodland[static_cast<std::size_t>(j * wide + i)] = sample.woodland;
        }
    auto height = [&](int i, int j) { return heights_[static_cast<std::size_t>((j + kMargin) * wide + i + kMargin)]; };
    auto relative = [&](int i, int j, float z) {
        return Vec3{static_cast<float>(static_cast<double>(ox + i) * spacing - camera.x),
                    static_cast<float>(static_cast<double>(oy + j) * spacing - camera.y), static_cast<float>(z - camera.z)};
    };
    auto blendAt = [&](const Vec3& p) {
        if (outermost) return 0.0f;
        return Clamp01((std::max(std::fabs(p.x), std::fabs(p.y)) - blendStart) / blendWidth);
    };
    auto hazeColor = [&](float x, float y) {
        const float f = PseudoAngle(x, y) * kHazeBins;
        const int bin = std::min(kHazeBins - 1, static_cast<int>(f));
        return Lerp(haze_[static_cast<std::size_t>(bin)], haze_[static_cast<std::size_t>(bin + 1)], f - static_cast<float>(bin));
    };
    auto shade = [&](int i, int j, int step) {
        const float h = height(i, j);
        const float inverse = 1.0f / (2.0f * s * static_cast<float>(step));
        const Vec3 normal = Normalize({(height(i - step, j) - height(i + step, j)) * inverse,
                                       (height(i, j - step) - height(i, j + step)) * inverse, 1.0f});
        const Vec3 p = relative(i, j, h);
        const Color albedo = GroundColor(h, normal.z, woodland[static_cast<std::size_t>((j + kMargin) * wide + i + kMargin)]);
        const float haze = HazeAmount(Length(p), farDistance);
        return Shaded{Lerp(LightGround(sky, albedo, normal), hazeColor(p.x, p.y), haze), (1.0f - haze) * textureShow};
    };

    // Ground vertices: each blends towards the coarser ring's surface near the edge.
    ground.vertices.resize(static_cast<std::size_t>(side) * side);
    std::vector<float> finalHeight(ground.vertices.size());
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            float h = height(i, j);
            Shaded shaded = shade(i, j, 1);
            const float blend = blendAt(relative(i, j, h));
            if (blend > 0) {
                const bool oddI = (i & 1) != 0, oddJ = (j & 1) != 0;
                float target = h;
                Shaded coarse;
                if (!oddI && !oddJ) {
                    coarse = shade(i, j, 2);
                } else {
                    // On the coarser ring this point lies on an edge or on the
                    // diagonal its cell is split along.
                    const int di = oddI ? 1 : 0, dj = oddJ ? 1 : 0;
                    target = 0.5f * (height(i - di, j - dj) + height(i + di, j + dj));
                    coarse = Average(shade(i - di, j - dj, 2), shade(i + di, j + dj, 2));
                }
                h = blend >= 1.0f ? target : Mix(h, target, blend);
                shaded = Blend(shaded, coarse, blend);
            }
            const Vec3 p = relative(i, j, h);
            finalHeight[static_cast<std::size_t>(j * side + i)] = h;
            ground.vertices[static_cast<std::size_t>(j * side + i)] = {
                p.x, p.y, p.z, PackColor(shaded.color, shaded.alpha),
                static_cast<float>((static_cast<double>(ox + i) * spacing - textureX) / kTextureRepeat),
                static_cast<float>((static_cast<double>(oy + j) * spacing - textureY) / kTextureRepeat)};
        }

    // The finer ring's square, left open in this one.
    std::int64_t holeX0 = 0, holeX1 = -1, holeY0 = 0, holeY1 = -1;
    if (level > 0) {
        const std::int64_t fx = std::llround(camera.x / spacing), fy = std::llround(camera.y / spacing);
        holeX0 = fx - cells / 4 - ox, holeX1 = fx + cells / 4 - ox;
        holeY0 = fy - cells / 4 - oy, holeY1 = fy + cells / 4 - oy;
    }
    auto inHole = [&](int i, int j) { return i >= holeX0 && i < holeX1 && j >= holeY0 && j < holeY1; };

    // Water vertices, made for the cells that dip below the water.
    waterIndex_.assign(ground.vertices.size(), -1);
    const auto waterZ = static_cast<float>(kWaterLevel - camera.z);
    auto waterShade = [&](int i, int j) {
        const Vec3 p = relative(i, j, kWaterLevel);
        const float distance = Length(p);
        const float steep = Clamp01(-p.z / std::max(distance, 1e-3f));
        const float glance = 1.0f - steep;
        const float fresnel = 0.02f + 0.98f * glance * glance * glance * glance * glance;
        const float reflect = 0.35f + 0.65f * fresnel;
        const Color deep = Color{0.015f, 0.04f, 0.05f} + sky.ambient * 0.12f;
        const float haze = HazeAmount(distance, farDistance);
        // Far off the water mirrors the sky near the horizon, which is the haze.
        return Shaded{Lerp(deep, hazeColor(p.x, p.y), haze), 1.0f - reflect};
    };
    auto waterVertex = [&](int i, int j) {
        int& index = waterIndex_[static_cast<std::size_t>(j * side + i)];
        if (index < 0) {
            Shaded shaded = waterShade(i, j);
            const float blend = blendAt(relative(i, j, kWaterLevel));
            if (blend > 0 && ((i | j) & 1) != 0) {
                const int di = i & 1, dj = j & 1;
                shaded = Blend(shaded, Average(waterShade(i - di, j - dj), waterShade(i + di, j + dj)), blend);
            }
            const Vertex& g = ground.vertices[static_cast<std::size_t>(j * side + i)];
            index = static_cast<int>(water.vertices.size());
            water.vertices.push_back({g.x, g.y, waterZ, PackColor(shaded.color, shaded.alpha), g.u, g.v});
        }
        return static_cast<std::uint16_t>(index);
    };

    const int blocks = cells / kBlockCells;
    for (int bj = 0; bj < blocks; ++bj)
        for (int bi = 0; bi < blocks; ++bi) {
            Block block = EmptyBlock(ground.indices.size());
            Block wet = EmptyBlock(water.indices.size());
            for (int j = bj * kBlockCells; j < (bj + 1) * kBlockCells; ++j)
                for (int i = bi * kBlockCells; i < (bi + 1) * kBlockCells; ++i) {
                    if (inHole(i, j)) continue;
                    const auto a = static_cast<std::uint16_t>(j * side + i), b = static_cast<std::uint16_t>(a + 1);
                    const auto d = static_cast<std::uint16_t>(a + side), c = static_cast<std::uint16_t>(d + 1);
                    for (std::uint16_t index : {a, b, c, a, c, d}) ground.indices.push_back(index);
                    for (std::uint16_t index : {a, b, c, d}) BoxAdd(block, ground.vertices[index]);
                    const float lowest = std::min(std::min(finalHeight[a], finalHeight[b]), std::min(finalHeight[c], finalHeight[d]));
                    if (lowest < kWaterLevel) {
                        const std::uint16_t wa = waterVertex(i, j), wb = waterVertex(i + 1, j);
                        const std::uint16_t wc = waterVertex(i + 1, j + 1), wd = waterVertex(i, j + 1);
                        for (std::uint16_t index : {wa, wb, wc, wa, wc, wd}) water.indices.push_back(index);
                        for (std::uint16_t index : {wa, wb, wc, wd}) BoxAdd(wet, water.vertices[index]);
                    }
                }
            block.indexCount = static_cast<std::uint32_t>(ground.indices.size() - block.firstIndex);
            wet.indexCount = static_cast<std::uint32_t>(water.indices.size() - wet.firstIndex);
            if (block.indexCount > 0) ground.blocks.push_back(block);
            if (wet.indexCount > 0) water.blocks.push_back(wet);
        }

    // Skirts hang from the edge into the coarser ring, hiding the hairline
    // gaps that rounding can open where the rings meet.
    if (outermost) return;
    const int corners[5][2] = {{0, 0}, {cells, 0}, {cells, cells}, {0, cells}, {0, 0}};
    for (int edge = 0; edge < 4; ++edge) {
        Block block = EmptyBlock(ground.indices.size());
        const int stepI = (corners[edge + 1][0] - corners[edge][0]) / cells;
        const int stepJ = (corners[edge + 1][1] - corners[edge][1]) / cells;
        for (int k = 0; k < cells; ++k) {
            const int i = corners[edge][0] + stepI * k, j = corners[edge][1] + stepJ * k;
            const auto top0 = static_cast<std::uint16_t>(j * side + i);
            const auto top1 = static_cast<std::uint16_t>((j + stepJ) * side + i + stepI);
            const auto bottom0 = static_cast<std::uint16_t>(ground.vertices.size());
            for (std::uint16_t top : {top0, top1}) {
                Vertex v = ground.vertices[top];
                v.z -= s;
                ground.vertices.push_back(v);
            }
            const auto bottom1 = static_cast<std::uint16_t>(bottom0 + 1);
            for (std::uint16_t index : {top0, top1, bottom0, top1, bottom1, bottom0}) ground.indices.push_back(index);
            for (std::uint16_t index : {top0, top1, bottom0, bottom1}) BoxAdd(block, ground.vertices[index]);
        }
        block.indexCount = static_cast<std::uint32_t>(ground.indices.size() - block.firstIndex);
        ground.blocks.push_back(block);
    }
}

} // namespace scene
