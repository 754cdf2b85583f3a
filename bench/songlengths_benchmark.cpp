// SPDX-License-Identifier: GPL-2.0-or-later
// How long reading a collection's song length file takes: a generated file
// of the collection's size (60,000 tunes, with comment lines as the real one
// has), then lookups of every tune.
//
// Usage: chipbox-songlengths-benchmark [TUNES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ui/common/song_lengths.h"

int main(int argc, char** argv) {
    const int tunes = argc > 1 ? std::atoi(argv[1]) : 60000;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "chipbox-songlengths-benchmark.md5";
    std::mt19937 random(1);
    std::vector<std::string> keys;
    {
        std::ofstream file(path);
        file << "[Database]\n";
        for (int tune = 0; tune < tunes; ++tune) {
            char key[33];
            for (int i = 0; i < 32; ++i) key[i] = "0123456789abcdef"[random() % 16];
            key[32] = 0;
            keys.emplace_back(key);
            file << "; /MUSICIANS/X/Composer_" << tune << "/Tune_" << tune << ".sid\n"
                 << key << "=";
            for (unsigned song = 0, songs = 1 + random() % 5; song < songs; ++song)
                file << (song ? " " : "") << random() % 10 << ":" << 10 + random() % 50 << "."
                     << 100 + random() % 900;
            file << "\n";
        }
    }
    const auto start = std::chrono::steady_clock::now();
    chipbox::SongLengths lengths;
    lengths.Load(path.string());
    const auto loaded = std::chrono::steady_clock::now();
    std::size_t found = 0;
    for (const std::string& key : keys) found += lengths.Find(key) != nullptr;
    const auto looked = std::chrono::steady_clock::now();
    const auto millis = [](auto from, auto to) {
        return std::chrono::duration<double, std::milli>(to - from).count();
    };
    std::printf("%d tunes, %ju bytes: read in %.1f ms; %zu lookups in %.2f ms\n", tunes,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)),
                millis(start, loaded), found, millis(loaded, looked));
    std::filesystem::remove(path);
    return found == keys.size() ? 0 : 1;
}
