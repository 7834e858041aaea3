#include "sketch/sketchstate.h"

namespace {

template <typename T> std::shared_ptr<const T> emptyList() {
    return std::make_shared<const T>();
}

template <typename T>
bool sameShared(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b) {
    return a == b || *a == *b;
}

template <typename T>
void share(std::shared_ptr<const T>& mine, const std::shared_ptr<const T>& earlier) {
    if (mine != earlier && *mine == *earlier)
        mine = earlier;
}

std::size_t bytesOf(const SketchState::PointList& points) {
    return points.size() * sizeof(gmVector2);
}
std::size_t bytesOf(const std::vector<unsigned>& columns) {
    return columns.size() * sizeof(unsigned);
}
std::size_t bytesOf(const std::vector<SketchState::PointList>& lists) {
    std::size_t bytes = lists.size() * sizeof(SketchState::PointList);
    for (const SketchState::PointList& points : lists)
        bytes += bytesOf(points);
    return bytes;
}

// What a list costs when it is held alone, beyond the pointer in the state.
template <typename T>
std::size_t ownBytes(const std::shared_ptr<const T>& mine,
                     const std::shared_ptr<const T>& earlier) {
    return mine == earlier ? 0 : sizeof(T) + bytesOf(*mine);
}

bool sameLayers(const std::vector<SketchState::Layer>& a,
                const std::vector<SketchState::Layer>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].properties != b[i].properties || !sameShared(a[i].skyline, b[i].skyline))
            return false;
    return true;
}

} // namespace

SketchState::SketchState()
    : silhouette(emptyList<PointList>()), curve(silhouette),
      detailLevels(emptyList<std::vector<PointList>>()), globalProfile(emptyList<PointList>()),
      profileColumns(emptyList<std::vector<unsigned>>()),
      columnProfiles(emptyList<std::vector<PointList>>()), layers{Layer{firstLayerProperties(),
                                                                        emptyList<PointList>()}} {}

bool SketchState::sameTerrainInputs(const SketchState& other) const {
    return stage == other.stage && profileRandomness == other.profileRandomness &&
           detailRandomness == other.detailRandomness && bottomDropOff == other.bottomDropOff &&
           naturalTerrain == other.naturalTerrain && natural == other.natural &&
           sameShared(silhouette, other.silhouette) && sameShared(curve, other.curve) &&
           sameShared(detailLevels, other.detailLevels) &&
           sameShared(globalProfile, other.globalProfile) &&
           sameShared(profileColumns, other.profileColumns) &&
           sameShared(columnProfiles, other.columnProfiles) && sameLayers(layers, other.layers) &&
           camera == other.camera;
}

void SketchState::shareUnchanged(const SketchState& earlier) {
    // The silhouette of stage 0 is the curve: keep the two one list.
    const bool silhouetteIsCurve = silhouette == curve;
    share(curve, earlier.curve);
    if (silhouetteIsCurve)
        silhouette = curve;
    else
        share(silhouette, earlier.silhouette);
    share(detailLevels, earlier.detailLevels);
    share(globalProfile, earlier.globalProfile);
    share(profileColumns, earlier.profileColumns);
    share(columnProfiles, earlier.columnProfiles);
    // A layer keeps its place unless layers were added, removed or moved; then a skyline is
    // simply held again.
    for (std::size_t i = 0; i < layers.size() && i < earlier.layers.size(); ++i)
        share(layers[i].skyline, earlier.layers[i].skyline);
}

std::size_t SketchState::bytesBeyond(const SketchState& earlier) const {
    std::size_t bytes = ownBytes(curve, earlier.curve);
    if (silhouette != curve)
        bytes += ownBytes(silhouette, earlier.silhouette);
    for (std::size_t i = 0; i < layers.size(); ++i)
        bytes += i < earlier.layers.size() ? ownBytes(layers[i].skyline, earlier.layers[i].skyline)
                                           : sizeof(PointList) + bytesOf(*layers[i].skyline);
    return bytes + ownBytes(detailLevels, earlier.detailLevels) +
           ownBytes(globalProfile, earlier.globalProfile) +
           ownBytes(profileColumns, earlier.profileColumns) +
           ownBytes(columnProfiles, earlier.columnProfiles);
}
