// SPDX-License-Identifier: GPL-2.0-or-later
// Which song a playlist plays next: through a tune's subsongs (all of them,
// or only its start song), then on to the next tune; at the end it stops,
// or with repeat starts again; with shuffle the tunes come in a random order
// in which each plays once before any plays again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace chipbox {

// A place in the list: the tune's index and its subsong (0-based).
struct PlaylistPlace {
    std::size_t tune = 0;
    int song = 0;
    bool operator==(const PlaylistPlace&) const = default;
};

// What the order needs of each tune: its songs and the one it starts with.
struct PlaylistTuneSongs {
    int songs = 1;      // 1..256; 0 while its header is not read yet
    int startSong = 0;  // 0-based
};

class PlaylistOrder {
public:
    explicit PlaylistOrder(std::uint32_t seed = std::random_device{}());

    // The list changed (tunes added, removed or read): the shuffle starts
    // afresh with `current` first.
    void Reset(std::size_t tunes, std::optional<std::size_t> current);

    void SetAllSubsongs(bool all) { allSubsongs_ = all; }
    void SetRepeat(bool repeat) { repeat_ = repeat; }
    void SetShuffle(bool shuffle);
    bool shuffle() const { return shuffle_; }

    // After `place` ends: its next subsong, else the first song of the next
    // tune; none at the end without repeat. Tunes with no songs (unread or
    // broken) are passed over.
    std::optional<PlaylistPlace> AfterSong(const PlaylistPlace& place,
                                           const std::vector<PlaylistTuneSongs>& tunes);
    // The next or previous tune's first song, for the keys and the desktop's
    // Next and Previous.
    std::optional<PlaylistPlace> NextTune(std::size_t tune,
                                          const std::vector<PlaylistTuneSongs>& tunes);
    std::optional<PlaylistPlace> PreviousTune(std::size_t tune,
                                              const std::vector<PlaylistTuneSongs>& tunes);
    // The song a tune starts with: its start song, or its first when all
    // subsongs play in turn.
    int FirstSong(const PlaylistTuneSongs& tune) const;

private:
    // The tune after (or before) `tune` in the playing order; a new round of
    // shuffle when one ends under repeat.
    std::optional<std::size_t> Step(std::size_t tune, int direction,
                                    const std::vector<PlaylistTuneSongs>& tunes);
    std::optional<std::size_t> StepOnce(std::size_t tune, int direction, std::size_t count);
    void Shuffle(std::size_t tunes, std::optional<std::size_t> first);

    std::mt19937 random_;
    bool allSubsongs_ = true;
    bool repeat_ = false;
    bool shuffle_ = false;
    std::vector<std::size_t> order_;     // the shuffled tunes, one round
    std::vector<std::size_t> position_;  // each tune's place in order_
};

}  // namespace chipbox
