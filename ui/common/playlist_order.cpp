// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/playlist_order.h"

#include <algorithm>
#include <numeric>

namespace chipbox {

PlaylistOrder::PlaylistOrder(std::uint32_t seed) : random_(seed) {}

void PlaylistOrder::Reset(std::size_t tunes, std::optional<std::size_t> current) {
    Shuffle(tunes, current);
}

void PlaylistOrder::SetShuffle(bool shuffle) { shuffle_ = shuffle; }

void PlaylistOrder::Shuffle(std::size_t tunes, std::optional<std::size_t> first) {
    order_.resize(tunes);
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    std::shuffle(order_.begin(), order_.end(), random_);
    if (first && *first < tunes)
        std::iter_swap(order_.begin(), std::find(order_.begin(), order_.end(), *first));
    position_.assign(tunes, 0);
    for (std::size_t i = 0; i < tunes; ++i) position_[order_[i]] = i;
}

int PlaylistOrder::FirstSong(const PlaylistTuneSongs& tune) const {
    return allSubsongs_ ? 0 : std::clamp(tune.startSong, 0, std::max(tune.songs - 1, 0));
}

std::optional<std::size_t> PlaylistOrder::StepOnce(std::size_t tune, int direction,
                                                   std::size_t count) {
    if (!shuffle_) {
        if (direction > 0) return tune + 1 < count ? std::optional(tune + 1) : std::nullopt;
        return tune > 0 ? std::optional(tune - 1) : std::nullopt;
    }
    if (order_.size() != count) Shuffle(count, tune);
    const std::size_t at = tune < count ? position_[tune] : 0;
    if (direction > 0) return at + 1 < count ? std::optional(order_[at + 1]) : std::nullopt;
    return at > 0 ? std::optional(order_[at - 1]) : std::nullopt;
}

std::optional<std::size_t> PlaylistOrder::Step(std::size_t tune, int direction,
                                               const std::vector<PlaylistTuneSongs>& tunes) {
    const std::size_t count = tunes.size();
    std::size_t at = tune;
    // Each tune is looked at once a round, twice with the wrap of repeat.
    for (std::size_t tried = 0; tried < 2 * count + 1; ++tried) {
        std::optional<std::size_t> next = StepOnce(at, direction, count);
        if (!next) {
            if (!repeat_ || count == 0) return std::nullopt;
            if (shuffle_) {
                Shuffle(count, std::nullopt);
                // A new round does not start with the tune that just ended.
                if (count > 1 && order_.front() == tune) std::iter_swap(order_.begin(), order_.end() - 1);
                for (std::size_t i = 0; i < count; ++i) position_[order_[i]] = i;
                next = direction > 0 ? order_.front() : order_.back();
            } else {
                next = direction > 0 ? 0 : count - 1;
            }
        }
        if (tunes[*next].songs > 0) return next;
        at = *next;
    }
    return std::nullopt;
}

std::optional<PlaylistPlace> PlaylistOrder::AfterSong(const PlaylistPlace& place,
                                                      const std::vector<PlaylistTuneSongs>& tunes) {
    if (place.tune < tunes.size() && allSubsongs_ && place.song + 1 < tunes[place.tune].songs)
        return PlaylistPlace{place.tune, place.song + 1};
    return NextTune(place.tune, tunes);
}

std::optional<PlaylistPlace> PlaylistOrder::NextTune(std::size_t tune,
                                                     const std::vector<PlaylistTuneSongs>& tunes) {
    const std::optional<std::size_t> next = Step(tune, +1, tunes);
    if (!next) return std::nullopt;
    return PlaylistPlace{*next, FirstSong(tunes[*next])};
}

std::optional<PlaylistPlace> PlaylistOrder::PreviousTune(
    std::size_t tune, const std::vector<PlaylistTuneSongs>& tunes) {
    const std::optional<std::size_t> previous = Step(tune, -1, tunes);
    if (!previous) return std::nullopt;
    return PlaylistPlace{*previous, FirstSong(tunes[*previous])};
}

}  // namespace chipbox
