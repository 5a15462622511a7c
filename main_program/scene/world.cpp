// The world: time, the flight, the sky, the lights, the events, and what is
// built around the camera for drawing.
#include "main_program/scene/world_state.h"

#include "main_program/scene/noise.h"

#include <algorithm>
#include <cmath>

namespace scene {

namespace {

// Elevations of the sky dome's rings, dense near the horizon where the
// colours change fastest; the lower half mirrors the upper for the water.
constexpr float kDomeElevations[] = {90, 68, 50, 37, 27, 19.5f, 13.5f, 9, 5.5f, 3, 1.2f, 0};
constexpr int kDomeSegments = 32;
constexpr float kDomeRadius = 500.0f;
constexpr float kSkyDistance = 450.0f; // where sky sprites are put
constexpr int kStars = 1400;
constexpr double kCloudAltitude = 1500.0, kCloudReach = 16000.0, kCloudTile = 7000.0, kCloudWind = 7.0;
constexpr double kEventGap = 7.0;          // seconds at least between two events
constexpr float kPassingDistance = 45.0f;  // a lantern this close passes the camera
constexpr float kHeardRise = 700.0f;       // a rising lantern further away is not heard

float Radians(float degrees) { return degrees * kPi / 180.0f; }

Vec3 Mirror(Vec3 v, float waterZ) { return {v.x, v.y, 2.0f * waterZ - v.z}; }

// -1 left .. 1 right of the camera, for a point relative to it.
float PanOf(const CameraPose& camera, Vec3 relative) {
    const Vec3 flatRight = Normalize({camera.right.x, camera.right.y, 0});
    const Vec3 flat = Normalize({relative.x, relative.y, 0});
    return std::max(-1.0f, std::min(1.0f, Dot(flat, flatRight)));
}

} // namespace

ClipmapShape ShapeFor(Detail geometry) {
    switch (geometry) {
    case Detail::Low: return {32, 6.0, 6};
    case Detail::High: return {64, 3.0, 7};
    case Detail::Medium: break;
    }
    return {48, 4.0, 6};
}

int TextureSize(TextureKind kind, Detail textures) {
    const int tier = static_cast<int>(textures);
    switch (kind) {
    case TextureKind::Ground:
    case TextureKind::Clouds: return 256 << tier;
    case TextureKind::Water: return 128 << tier;
    case TextureKind::Glow:
    case TextureKind::Moon: return tier == 0 ? 64 : 128;
    case TextureKind::Ring:
    case TextureKind::Count: break;
    }
    return 64 << (tier / 2);
}

std::unique_ptr<World> World::Create(std::uint32_t seed) { return std::make_unique<WorldState>(seed); }

WorldState::WorldState(std::uint32_t seed)
    : seed_(seed), terrain_(seed), flight_(seed, terrain_), happenings_(seed, terrain_, flight_), worker_(seed) {
    camera_ = flight_.At(0);
    sky_ = SkyAt(0, flight_.Heading());
    happenings_.LanternsAt(0, lanterns_);
    // Stars: many faint, few bright, from bluish to warm white.
    stars_.reserve(kStars);
    for (int i = 0; i < kStars; ++i) {
        const float z = 0.04f + 0.96f * Unit(Hash(static_cast<std::uint32_t>(i), seed + 101u));
        const float azimuth = 2.0f * kPi * Unit(Hash(static_cast<std::uint32_t>(i), seed + 102u));
        const float across = std::sqrt(1.0f - z * z);
        const float u = Unit(Hash(static_cast<std::uint32_t>(i), seed + 103u));
        const float warmth = Unit(Hash(static_cast<std::uint32_t>(i), seed + 104u));
        Star star;
        star.direction = {across * std::cos(azimuth), across * std::sin(azimuth), z};
        star.color = Lerp(Color{0.75f, 0.85f, 1.0f}, Color{1.0f, 0.9f, 0.75f}, warmth);
        star.brightness = 0.2f + 0.8f * u * u * u * u;
        star.twinkle = 100.0f * Unit(Hash(static_cast<std::uint32_t>(i), seed + 105u));
        stars_.push_back(star);
    }
}

WorldState::~WorldState() = default;

void WorldState::Advance(double seconds) {
    // A long stall (a paused display, a debugger) resumes where it stopped.
    constexpr double kLongestStep = 0.25;
    if (!(seconds > 0)) seconds = 0;
    const double before = seconds_;
    seconds_ += std::min(seconds, kLongestStep);
    ++frame_;
    // The first frame has been drawn: detail may now take its share of the machine.
    if (frame_ == 2) worker_.Start();
    for (auto& [kind, chain] : worker_.TakeFinished()) {
        PublishedTexture& texture = textures_[static_cast<std::size_t>(kind)];
        if (!texture.chain) texture.arrived = seconds_;
        texture.chain = std::move(chain);
        ++texture.version;
    }
    camera_ = flight_.At(seconds_);
    sky_ = SkyAt(seconds_, flight_.Heading());
    happenings_.LanternsAt(seconds_, lanterns_);
    if (seconds_ > before) CollectEvents(before, seconds_);
}

std::vector<SceneEvent> WorldState::TakeEvents() {
    std::vector<SceneEvent> taken;
    taken.swap(events_);
    return taken;
}

bool WorldState::DetailComplete() { return worker_.Idle(); }

void WorldState::RequestTextures(Detail textures) {
    for (int kind = 0; kind < kTextureKinds; ++kind)
        worker_.Request(static_cast<TextureKind>(kind), TextureSize(static_cast<TextureKind>(kind), textures));
}

float WorldState::TextureShow(TextureKind kind) const {
    const PublishedTexture& texture = Texture(kind);
    if (!texture.chain) return 0.0f;
    return static_cast<float>(std::min(1.0, (seconds_ - texture.arrived) / 1.5));
}

void WorldState::CollectEvents(double from, double to) {
    struct Candidate {
        double time;
        SceneEvent event;
    };
    std::vector<Candidate> candidates;
    auto relative = [&](const DVec3& p) { return Relative(p, camera_.position); };

    std::map<std::int64_t, float> distances;
    for (const Lantern& lantern : lanterns_) {
        const Vec3 r = relative(lantern.position);
        const float distance = Length(r);
        distances[lantern.id] = distance;
        const double launched = happenings_.LaunchTime(lantern.id);
        if (launched > from && launched <= to && happenings_.Heard(lantern.id) && distance < kHeardRise)
            candidates.push_back({launched, {SceneEventKind::LightRises, PanOf(camera_, r),
                                             std::max(0.15f, 1.0f - distance / (kHeardRise + 100.0f))}});
        const auto previous = lanternDistance_.find(lantern.id);
        if (previous != lanternDistance_.end() && previous->second >= kPassingDistance && distance < kPassingDistance)
            candidates.push_back({to, {SceneEventKind::LightPasses, PanOf(camera_, r),
                                       std::max(0.3f, 1.0f - distance / kPassingDistance * 0.7f)}});
    }
    lanternDistance_.swap(distances);

    const auto firstStar = static_cast<std::int64_t>(std::floor(from / Happenings::kStarInterval)) - 1;
    for (std::int64_t j = firstStar; j <= firstStar + 2; ++j) {
        const double start = happenings_.StarTime(j);
        if (start > from && start <= to && happenings_.StarShows(j)) {
            std::vector<ShootingStar> stars;
            happenings_.ShootingStarsAt(start + 0.01, stars);
            for (const ShootingStar& star : stars)
                if (star.id == j)
                    candidates.push_back({start, {SceneEventKind::ShootingStar, PanOf(camera_, star.start),
                                                  std::min(1.0f, 0.3f + 0.7f * happenings_.StarSize(j))}});
        }
    }

    const auto firstRipple = static_cast<std::int64_t>(std::floor(from / Happenings::kRippleInterval)) - 1;
    for (std::int64_t j = firstRipple; j <= firstRipple + 2; ++j) {
        Ripple ripple;
        if (happenings_.RippleOf(j, ripple) && ripple.start > from && ripple.start <= to) {
            const Vec3 r = relative(ripple.centre);
            candidates.push_back({ripple.start, {SceneEventKind::WaterRipple, PanOf(camera_, r),
                                                 std::max(0.2f, 1.0f - Length(r) / 260.0f)}});
        }
    }

    // A calm pace: an event that comes too soon after the last one is let go.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) { return a.time < b.time; });
    for (const Candidate& candidate : candidates) {
        if (candidate.time - lastEvent_ < kEventGap) continue;
        lastEvent_ = candidate.time;
        events_.push_back(candidate.event);
    }
    // Nobody taking them: keep only the latest few.
    if (events_.size() > 32) events_.erase(events_.begin(), events_.end() - 32);
}

const Landscape& WorldState::LandscapeFor(Detail geometry) {
    Tier& tier = tiers_[static_cast<std::size_t>(geometry)];
    if (!tier.clipmap) tier.clipmap = std::make_unique<Clipmap>(terrain_, ShapeFor(geometry));
    if (tier.builtFrame != frame_) {
        tier.clipmap->Build(camera_.position, sky_, TextureShow(TextureKind::Ground), tier.landscape.ground,
                            tier.landscape.water);
        tier.landscape.farDistance = tier.clipmap->FarDistance();
        tier.builtFrame = frame_;
    }
    return tier.landscape;
}

const SkyScenery& WorldState::Sky(Detail geometry) {
    if (skyFrame_ != frame_ || skyDetail_ != geometry) BuildSky(geometry);
    return sky_scenery_;
}

void WorldState::BuildSky(Detail geometry) {
    skyFrame_ = frame_;
    skyDetail_ = geometry;
    SkyScenery& out = sky_scenery_;

    // The dome: rings from the zenith down to the horizon and on to the nadir.
    Mesh& dome = out.dome;
    dome.Clear();
    constexpr int kRings = sizeof(kDomeElevations) / sizeof(kDomeElevations[0]);
    std::vector<float> elevations(kDomeElevations, kDomeElevations + kRings);
    for (int i = kRings - 2; i >= 0; --i) elevations.push_back(-kDomeElevations[i]);
    for (float elevationDegrees : elevations) {
        const float elevation = Radians(elevationDegrees);
        for (int k = 0; k <= kDomeSegments; ++k) {
            const float azimuth = 2.0f * kPi * static_cast<float>(k) / kDomeSegments;
            const Vec3 d{std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation), std::sin(elevation)};
            const Vec3 p = d * kDomeRadius;
            dome.vertices.push_back({p.x, p.y, p.z, PackColor(SkyColor(sky_, d)), 0, 0});
        }
    }
    const int rows = static_cast<int>(elevations.size()) - 1, stride = kDomeSegments + 1;
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < kDomeSegments; ++k) {
            const auto a = static_cast<std::uint16_t>(r * stride + k), b = static_cast<std::uint16_t>(a + 1);
            const auto c = static_cast<std::uint16_t>(a + stride), d = static_cast<std::uint16_t>(c + 1);
            for (std::uint16_t index : {a, b, d, a, d, c}) dome.indices.push_back(index);
        }
    Block all;
    all.indexCount = static_cast<std::uint32_t>(dome.indices.size());
    all.low = {-kDomeRadius, -kDomeRadius, -kDomeRadius};
    all.high = {kDomeRadius, kDomeRadius, kDomeRadius};
    dome.blocks.push_back(all);

    // Stars, twinkling, as the sky darkens; fewer of them at low detail.
    out.stars.clear();
    if (sky_.stars > 0.01f) {
        const int count = geometry == Detail::Low ? kStars / 2 : kStars;
        const auto t = static_cast<float>(std::fmod(seconds_, 3600.0));
        for (int i = 0; i < count; ++i) {
            const Star& star = stars_[static_cast<std::size_t>(i)];
            const float twinkle = 0.8f + 0.2f * std::sin(t * (2.0f + star.twinkle * 0.03f) + star.twinkle);
            // Low stars are dimmed by the thicker air near the horizon.
            const float air = SmoothStep(0.0f, 0.35f, star.direction.z);
            const Color c = star.color * (sky_.stars * star.brightness * twinkle * (0.25f + 0.75f * air));
            const Vec3 p = star.direction * (kDomeRadius * 0.96f);
            out.stars.push_back({p.x, p.y, p.z, PackColor(c), 0, 0});
        }
    }

    // The sun, its glow and its path on the water.
    out.lights.clear();
    out.glints.clear();
    out.moon.clear();
    const float sunUp = SmoothStep(Radians(-4.0f), Radians(1.0f), sky_.sunElevation);
    auto across = [](float degrees) { return 2.0f * kSkyDistance * std::tan(Radians(degrees) * 0.5f); };
    if (sunUp > 0) {
        const Vec3 at = sky_.sun * kSkyDistance;
        out.lights.push_back({at, across(38), across(38), 0, sky_.glow * 0.55f, sunUp, TextureKind::Glow, false});
        const float disc = SmoothStep(Radians(-1.2f), Radians(0.5f), sky_.sunElevation);
        if (disc > 0)
            out.lights.push_back({at, across(2.6f), across(2.6f), 3, Color{1.0f, 0.86f, 0.62f} * 1.6f, disc,
                                  TextureKind::Glow, false});
        const Vec3 below = Normalize({sky_.sun.x, sky_.sun.y, -std::fabs(sky_.sun.z) - 0.07f});
        out.glints.push_back({below * kSkyDistance, across(3.5f), across(16.0f), 0, sky_.glow * 0.7f, sunUp,
                              TextureKind::Glow, true});
    }
    // The moon, brighter as the sky darkens, with a halo and a path of its own.
    if (sky_.moon.z > -0.02f) {
        const Vec3 at = sky_.moon * kSkyDistance;
        out.moon.push_back({at, across(1.6f), across(1.6f), 4, Color{0.95f, 0.96f, 1.0f} * (0.6f + 0.4f * sky_.moonShow),
                            0.35f + 0.65f * sky_.moonShow, TextureKind::Moon, false});
        out.lights.push_back({at, across(9), across(9), 0, Color{0.55f, 0.62f, 0.8f} * 0.35f, sky_.moonShow,
                              TextureKind::Glow, false});
        const Vec3 below = Normalize({sky_.moon.x, sky_.moon.y, -sky_.moon.z - 0.05f});
        out.glints.push_back({below * kSkyDistance, across(2.2f), across(12.0f), 0, Color{0.6f, 0.66f, 0.8f} * 0.5f,
                              sky_.moonShow, TextureKind::Glow, true});
    }

    // Shooting stars.
    out.streaks.clear();
    std::vector<ShootingStar> shooting;
    happenings_.ShootingStarsAt(seconds_, shooting);
    for (const ShootingStar& star : shooting) {
        const Vec3 head = Normalize(Lerp(star.start, star.end, star.progress));
        const Vec3 tail = Normalize(Lerp(star.start, star.end, std::max(0.0f, star.progress - 0.35f)));
        out.streaks.push_back({head * kSkyDistance, tail * kSkyDistance, 2.0f,
                               Color{0.9f, 0.95f, 1.0f} * (star.brightness * sky_.stars)});
    }

    // The cloud layer: a grid on the camera, snapped to its own spacing so that
    // its colours stay put, and faded out towards the horizon.
    Mesh& clouds = out.clouds;
    clouds.Clear();
    const int cells = geometry == Detail::Low ? 12 : geometry == Detail::High ? 28 : 20;
    const double step = 2.0 * kCloudReach / cells;
    const double cx = std::floor(camera_.position.x / step) * step, cy = std::floor(camera_.position.y / step) * step;
    const double baseX = std::floor(camera_.position.x / kCloudTile) * kCloudTile;
    const double baseY = std::floor(camera_.position.y / kCloudTile) * kCloudTile;
    const double windAngle = flight_.Heading() + 1.3;
    const double drift = kCloudWind * seconds_ / kCloudTile;
    const double shiftU = std::fmod(drift * std::cos(windAngle), 1.0), shiftV = std::fmod(drift * std::sin(windAngle), 1.0);
    out.cloudHeight = static_cast<float>(kCloudAltitude - camera_.position.z);
    const float cover = 0.75f + 0.25f * std::sin(static_cast<float>(2.0 * 3.141592653589793 * std::fmod(seconds_ / 1300.0, 1.0)));
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            const double x = cx + (i - cells / 2) * step, y = cy + (j - cells / 2) * step;
            const Vec3 p{static_cast<float>(x - camera_.position.x), static_cast<float>(y - camera_.position.y), out.cloudHeight};
            const Vec3 d = Normalize(p);
            const float fade = SmoothStep(0.02f, 0.2f, d.z) * cover;
            clouds.vertices.push_back({p.x, p.y, p.z, PackColor(CloudColor(sky_, d), fade),
                                       static_cast<float>((x - baseX) / kCloudTile - shiftU),
                                       static_cast<float>((y - baseY) / kCloudTile - shiftV)});
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            const auto a = static_cast<std::uint16_t>(j * (cells + 1) + i), b = static_cast<std::uint16_t>(a + 1);
            const auto d = static_cast<std::uint16_t>(a + cells + 1), c = static_cast<std::uint16_t>(d + 1);
            for (std::uint16_t index : {a, b, c, a, c, d}) clouds.indices.push_back(index);
        }
    Block sheet;
    sheet.indexCount = static_cast<std::uint32_t>(clouds.indices.size());
    sheet.low = {static_cast<float>(-kCloudReach - step), static_cast<float>(-kCloudReach - step), out.cloudHeight};
    sheet.high = {static_cast<float>(kCloudReach + step), static_cast<float>(kCloudReach + step), out.cloudHeight};
    clouds.blocks.push_back(sheet);
}

const NearScenery& WorldState::Near() {
    if (nearFrame_ == frame_) return near_;
    nearFrame_ = frame_;
    near_.lanterns.clear();
    near_.mirrored.clear();
    near_.ripples.clear();
    const auto waterZ = static_cast<float>(kWaterLevel - camera_.position.z);
    for (const Lantern& lantern : lanterns_) {
        const Vec3 at = Relative(lantern.position, camera_.position);
        const float distance = Length(at);
        // Distant lanterns fade a little into the haze, never quite away.
        const float haze = 1.0f - 0.6f * SmoothStep(300.0f, 2500.0f, distance);
        const Color core = Lerp(lantern.color, Color{1, 1, 1}, 0.45f) * (lantern.glow * haze);
        const Color halo = lantern.color * (0.5f * lantern.glow * haze);
        near_.lanterns.push_back({at, 2.2f, 2.2f, 3.0f, core, 1.0f, TextureKind::Glow, false});
        near_.lanterns.push_back({at, 16.0f, 16.0f, 0.0f, halo, 1.0f, TextureKind::Glow, false});
        const Vec3 image = Mirror(at, waterZ);
        near_.mirrored.push_back({image, 2.2f, 4.5f, 2.5f, core * 0.6f, 1.0f, TextureKind::Glow, true});
        near_.mirrored.push_back({image, 14.0f, 24.0f, 0.0f, halo * 0.5f, 1.0f, TextureKind::Glow, true});
    }
    // Ripples: two rings each, the second a little later, spreading and fading.
    std::vector<Ripple> ripples;
    happenings_.RipplesAt(seconds_, ripples);
    const Color sheen = Lerp(sky_.horizonAway, sky_.zenith, 0.3f) * 0.7f + sky_.glow * 0.15f;
    for (const Ripple& ripple : ripples) {
        const Vec3 c = Relative(ripple.centre, camera_.position);
        for (float delay : {0.0f, 0.7f}) {
            const float age = ripple.age - delay;
            if (age <= 0) continue;
            const float life = Clamp01(age / static_cast<float>(Happenings::kRippleDuration));
            const float radius = 0.6f + 9.0f * std::pow(life, 0.6f);
            const float strength = (1.0f - life) * (1.0f - life) * (delay > 0 ? 0.6f : 1.0f);
            const std::uint32_t color = PackColor(sheen * strength, 1.0f);
            const Vertex corners[4] = {{c.x - radius, c.y - radius, c.z, color, 0, 0},
                                       {c.x + radius, c.y - radius, c.z, color, 1, 0},
                                       {c.x + radius, c.y + radius, c.z, color, 1, 1},
                                       {c.x - radius, c.y + radius, c.z, color, 0, 1}};
            for (int index : {0, 1, 2, 0, 2, 3}) near_.ripples.push_back(corners[index]);
        }
    }
    return near_;
}

} // namespace scene
