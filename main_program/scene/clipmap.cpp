// The landscape's rings of ground and water around the camera.
#include "main_program/scene/clipmap.h"

#include <algorithm>
#include <cmath>

namespace scene {

namespace {

constexpr int kBlockCells = 8;
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

Clipmap::Sample& Clipmap::At(int level, std::int64_t gx, std::int64_t gy) {
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
        sample.litVersion[0] = sample.litVersion[1] = UINT32_MAX;
        ++computed_;
    }
    return sample;
}

void Clipmap::Build(const DVec3& camera, const SkyState& sky, std::uint32_t lightVersion, float textureShow,
                    std::vector<Mesh>& ground, std::vector<Mesh>& water) {
    lightVersion_ = lightVersion;
    haze_.resize(kHazeBins + 1);
    for (int i = 0; i <= kHazeBins; ++i) {
        // The direction whose pseudo-angle starts the bin.
        const float p = 4.0f * static_cast<float>(i % kHazeBins) / kHazeBins;
        float x = 1 - p, y = p;
        if (p >= 3)
            x = p - 3, y = p - 4;
        else if (p > 1)
            x = std::fabs(2 - p) - 1, y = 2 - p;
        haze_[static_cast<std::size_t>(i)] = HazeColor(sky, Normalize({x, y, 0}));
    }
    ground.resize(levels_.size());
    water.resize(levels_.size());
    for (int level = 0; level < shape_.levels; ++level)
        BuildLevel(level, camera, sky, textureShow, ground[static_cast<std::size_t>(level)],
                   water[static_cast<std::size_t>(level)]);
}

// One ring's build: its place around the camera, and the steps that make
// its ground, its water and its skirts.
class Clipmap::Ring {
  public:
    Ring(Clipmap& clipmap, int level, const DVec3& camera, const SkyState& sky, float textureShow)
        : map_(clipmap), camera_(camera), sky_(sky), textureShow_(textureShow), cells_(clipmap.shape_.cells),
          side_(cells_ + 1), wide_(side_ + 2 * kMargin), spacing_(clipmap.shape_.spacing * std::ldexp(1.0, level)),
          s_(static_cast<float>(spacing_)), far_(clipmap.FarDistance()),
          outermost_(level == clipmap.shape_.levels - 1) {
        // The ring's centre is on the next coarser ring's grid, so its edge is too.
        ox_ = 2 * std::llround(camera.x / (2 * spacing_)) - cells_ / 2;
        oy_ = 2 * std::llround(camera.y / (2 * spacing_)) - cells_ / 2;
        textureX_ = static_cast<double>(FloorDiv(camera.x, 1024.0)) * 1024.0;
        textureY_ = static_cast<double>(FloorDiv(camera.y, 1024.0)) * 1024.0;
        const float reach = static_cast<float>(cells_) * 0.5f * s_;
        blendWidth_ = 0.25f * reach;
        blendStart_ = reach - s_ - blendWidth_;
        // The finer ring's square, left open in this one.
        if (level > 0) {
            const std::int64_t fx = std::llround(camera.x / spacing_), fy = std::llround(camera.y / spacing_);
            holeX0_ = fx - cells_ / 4 - ox_, holeX1_ = fx + cells_ / 4 - ox_;
            holeY0_ = fy - cells_ / 4 - oy_, holeY1_ = fy + cells_ / 4 - oy_;
        }
        map_.grid_.resize(static_cast<std::size_t>(wide_) * static_cast<std::size_t>(wide_));
        for (int j = 0; j < wide_; ++j)
            for (int i = 0; i < wide_; ++i)
                map_.grid_[Index(i, j, wide_)] = &map_.At(level, ox_ + i - kMargin, oy_ + j - kMargin);
    }

    void BuildGround(Mesh& ground) {
        ground.vertices.resize(static_cast<std::size_t>(side_) * static_cast<std::size_t>(side_));
        map_.finalHeight_.resize(ground.vertices.size());
        for (int j = 0; j < side_; ++j)
            for (int i = 0; i < side_; ++i)
                GroundVertex(i, j, ground);
    }

    void BuildCells(Mesh& ground, Mesh& water) {
        map_.waterIndex_.assign(ground.vertices.size(), -1);
        const int blocks = cells_ / kBlockCells;
        for (int bj = 0; bj < blocks; ++bj)
            for (int bi = 0; bi < blocks; ++bi) {
                Block block = EmptyBlock(ground.indices.size());
                Block wet = EmptyBlock(water.indices.size());
                const int i0 = bi * kBlockCells, j0 = bj * kBlockCells;
                for (int j = j0; j < j0 + kBlockCells; ++j)
                    for (int i = i0; i < i0 + kBlockCells; ++i)
                        if (!InHole(i, j)) AddGroundCell(i, j, ground, block);
                // Water in squares of two by two cells: its colours change
                // slowly, and the ground hides what it covers of dry land.
                for (int j = j0; j < j0 + kBlockCells; j += 2)
                    for (int i = i0; i < i0 + kBlockCells; i += 2)
                        AddWaterSquare(i, j, ground, water, wet);
                block.indexCount = static_cast<std::uint32_t>(ground.indices.size() - block.firstIndex);
                wet.indexCount = static_cast<std::uint32_t>(water.indices.size() - wet.firstIndex);
                if (block.indexCount > 0) ground.blocks.push_back(block);
                if (wet.indexCount > 0) water.blocks.push_back(wet);
            }
    }

    // Skirts hang from the edge into the coarser ring, hiding the hairline
    // gaps that rounding can open where the rings meet.
    void BuildSkirts(Mesh& ground) const {
        if (outermost_) return;
        const int corners[5][2] = {{0, 0}, {cells_, 0}, {cells_, cells_}, {0, cells_}, {0, 0}};
        for (int edge = 0; edge < 4; ++edge) {
            Block block = EmptyBlock(ground.indices.size());
            const int stepI = (corners[edge + 1][0] - corners[edge][0]) / cells_;
            const int stepJ = (corners[edge + 1][1] - corners[edge][1]) / cells_;
            for (int k = 0; k < cells_; ++k) {
                const int i = corners[edge][0] + stepI * k, j = corners[edge][1] + stepJ * k;
                const auto top0 = static_cast<std::uint16_t>(Index(i, j, side_));
                const auto top1 = static_cast<std::uint16_t>(Index(i + stepI, j + stepJ, side_));
                const auto bottom0 = static_cast<std::uint16_t>(ground.vertices.size());
                for (std::uint16_t top : {top0, top1}) {
                    Vertex v = ground.vertices[top];
                    v.z -= s_;
                    ground.vertices.push_back(v);
                }
                const auto bottom1 = static_cast<std::uint16_t>(bottom0 + 1);
                for (std::uint16_t index : {top0, top1, bottom0, top1, bottom1, bottom0})
                    ground.indices.push_back(index);
                for (std::uint16_t index : {top0, top1, bottom0, bottom1})
                    BoxAdd(block, ground.vertices[index]);
            }
            block.indexCount = static_cast<std::uint32_t>(ground.indices.size() - block.firstIndex);
            ground.blocks.push_back(block);
        }
    }

  private:
    static std::size_t Index(int i, int j, int stride) {
        return static_cast<std::size_t>(j) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(i);
    }
    Sample& SampleAt(int i, int j) const { return *map_.grid_[Index(i + kMargin, j + kMargin, wide_)]; }
    float Height(int i, int j) const { return SampleAt(i, j).height; }
    Vec3 Relative(int i, int j, float z) const {
        return {static_cast<float>(static_cast<double>(ox_ + i) * spacing_ - camera_.x),
                static_cast<float>(static_cast<double>(oy_ + j) * spacing_ - camera_.y),
                static_cast<float>(z - camera_.z)};
    }
    // 0 inside, rising to 1 where the ring gives way to the next coarser one.
    float BlendAt(const Vec3& p) const {
        if (outermost_) return 0.0f;
        return Clamp01((std::max(std::fabs(p.x), std::fabs(p.y)) - blendStart_) / blendWidth_);
    }
    bool InHole(int i, int j) const { return i >= holeX0_ && i < holeX1_ && j >= holeY0_ && j < holeY1_; }

    Color Haze(float x, float y) const {
        const float f = PseudoAngle(x, y) * kHazeBins;
        const int bin = std::min(kHazeBins - 1, static_cast<int>(f));
        return Lerp(map_.haze_[static_cast<std::size_t>(bin)], map_.haze_[static_cast<std::size_t>(bin) + 1],
                    f - static_cast<float>(bin));
    }

    // Lit colours last until the light changes; the haze changes as the camera moves.
    Shaded Shade(int i, int j, int step) const {
        Sample& sample = SampleAt(i, j);
        const std::size_t which = step == 1 ? 0 : 1;
        if (sample.litVersion[which] != map_.lightVersion_) {
            const float inverse = 1.0f / (2.0f * s_ * static_cast<float>(step));
            const Vec3 normal = Normalize({(Height(i - step, j) - Height(i + step, j)) * inverse,
                                           (Height(i, j - step) - Height(i, j + step)) * inverse, 1.0f});
            sample.lit[which] = LightGround(sky_, GroundColor(sample.height, normal.z, sample.woodland), normal);
            sample.litVersion[which] = map_.lightVersion_;
        }
        const Vec3 p = Relative(i, j, sample.height);
        const float haze = HazeAmount(Length(p), far_);
        return Shaded{Lerp(sample.lit[which], Haze(p.x, p.y), haze), (1.0f - haze) * textureShow_};
    }

    // Each vertex blends towards the coarser ring's surface near the edge: on
    // the coarser ring a point lies on a vertex, an edge, or the diagonal its
    // cell is split along.
    void GroundVertex(int i, int j, Mesh& ground) const {
        float h = Height(i, j);
        Shaded shaded = Shade(i, j, 1);
        const float blend = BlendAt(Relative(i, j, h));
        if (blend > 0) {
            const int di = i & 1, dj = j & 1;
            float target = h;
            Shaded coarse;
            if (di == 0 && dj == 0) {
                coarse = Shade(i, j, 2);
            } else {
                target = 0.5f * (Height(i - di, j - dj) + Height(i + di, j + dj));
                coarse = Average(Shade(i - di, j - dj, 2), Shade(i + di, j + dj, 2));
            }
            h = blend >= 1.0f ? target : Mix(h, target, blend);
            shaded = Blend(shaded, coarse, blend);
        }
        const Vec3 p = Relative(i, j, h);
        map_.finalHeight_[Index(i, j, side_)] = h;
        ground.vertices[Index(i, j, side_)] = {
            p.x,
            p.y,
            p.z,
            PackColor(shaded.color, shaded.alpha),
            static_cast<float>((static_cast<double>(ox_ + i) * spacing_ - textureX_) / kTextureRepeat),
            static_cast<float>((static_cast<double>(oy_ + j) * spacing_ - textureY_) / kTextureRepeat)};
    }

    void AddGroundCell(int i, int j, Mesh& ground, Block& block) const {
        const auto a = static_cast<std::uint16_t>(Index(i, j, side_)), b = static_cast<std::uint16_t>(a + 1);
        const auto d = static_cast<std::uint16_t>(a + side_), c = static_cast<std::uint16_t>(d + 1);
        for (std::uint16_t index : {a, b, c, a, c, d})
            ground.indices.push_back(index);
        for (std::uint16_t index : {a, b, c, d})
            BoxAdd(block, ground.vertices[index]);
    }

    Shaded WaterShade(int i, int j) const {
        const Vec3 p = Relative(i, j, kWaterLevel);
        const float distance = Length(p);
        const float steep = Clamp01(-p.z / std::max(distance, 1e-3f));
        const float glance = 1.0f - steep;
        const float fresnel = 0.02f + 0.98f * glance * glance * glance * glance * glance;
        const float reflect = 0.35f + 0.65f * fresnel;
        const Color deep = Color{0.015f, 0.04f, 0.05f} + sky_.ambient * 0.12f;
        const float haze = HazeAmount(distance, far_);
        // Far off the water mirrors the sky near the horizon, which is the haze.
        return Shaded{Lerp(deep, Haze(p.x, p.y), haze), 1.0f - reflect};
    }

    std::uint16_t WaterVertex(int i, int j, const Mesh& ground, Mesh& water) const {
        int& index = map_.waterIndex_[Index(i, j, side_)];
        if (index < 0) {
            Shaded shaded = WaterShade(i, j);
            const float blend = BlendAt(Relative(i, j, kWaterLevel));
            if (blend > 0 && ((i | j) & 1) != 0) {
                const int di = i & 1, dj = j & 1;
                shaded = Blend(shaded, Average(WaterShade(i - di, j - dj), WaterShade(i + di, j + dj)), blend);
            }
            const Vertex& g = ground.vertices[Index(i, j, side_)];
            index = static_cast<int>(water.vertices.size());
            water.vertices.push_back({g.x, g.y, static_cast<float>(kWaterLevel - camera_.z),
                                      PackColor(shaded.color, shaded.alpha), g.u, g.v});
        }
        return static_cast<std::uint16_t>(index);
    }

    float LowestOf(int i, int j, int size) const {
        float lowest = map_.finalHeight_[Index(i, j, side_)];
        for (int y = j; y <= j + size; ++y)
            for (int x = i; x <= i + size; ++x)
                lowest = std::min(lowest, map_.finalHeight_[Index(x, y, side_)]);
        return lowest;
    }

    // Water over cells [i, i + size) x [j, j + size), where any of them dips below it.
    void AddWater(int i, int j, int size, const Mesh& ground, Mesh& water, Block& wet) const {
        if (LowestOf(i, j, size) >= kWaterLevel) return;
        const std::uint16_t wa = WaterVertex(i, j, ground, water), wb = WaterVertex(i + size, j, ground, water);
        const std::uint16_t wc = WaterVertex(i + size, j + size, ground, water);
        const std::uint16_t wd = WaterVertex(i, j + size, ground, water);
        for (std::uint16_t index : {wa, wb, wc, wa, wc, wd})
            water.indices.push_back(index);
        for (std::uint16_t index : {wa, wb, wc, wd})
            BoxAdd(wet, water.vertices[index]);
    }

    // A square the finer ring's opening cuts is split into its cells.
    void AddWaterSquare(int i, int j, const Mesh& ground, Mesh& water, Block& wet) const {
        const bool cut = InHole(i, j) || InHole(i + 1, j) || InHole(i, j + 1) || InHole(i + 1, j + 1);
        if (!cut) {
            AddWater(i, j, 2, ground, water, wet);
            return;
        }
        for (int y = j; y < j + 2; ++y)
            for (int x = i; x < i + 2; ++x)
                if (!InHole(x, y)) AddWater(x, y, 1, ground, water, wet);
    }

    Clipmap& map_;
    const DVec3& camera_;
    const SkyState& sky_;
    float textureShow_;
    int cells_, side_, wide_;
    double spacing_;
    float s_, far_;
    bool outermost_;
    std::int64_t ox_ = 0, oy_ = 0;
    double textureX_ = 0, textureY_ = 0;
    float blendWidth_ = 1, blendStart_ = 0;
    std::int64_t holeX0_ = 0, holeX1_ = -1, holeY0_ = 0, holeY1_ = -1;
};

void Clipmap::BuildLevel(int level, const DVec3& camera, const SkyState& sky, float textureShow, Mesh& ground,
                         Mesh& water) {
    ground.Clear();
    water.Clear();
    Ring ring(*this, level, camera, sky, textureShow);
    ring.BuildGround(ground);
    ring.BuildCells(ground, water);
    ring.BuildSkirts(ground);
}

} // namespace scene
