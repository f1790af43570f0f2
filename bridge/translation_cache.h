// TranslationCache: translations already made, by direction and text, bounded
// in bytes; the least recently used entry goes first. Safe for several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bridge/upstream.h"

namespace bridge {

struct CacheStats {
    std::size_t entries = 0;
    std::size_t bytes = 0;
    std::size_t maxBytes = 0;
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
};

class TranslationCache {
  public:
    // maxBytes 0: nothing is kept.
    explicit TranslationCache(std::size_t maxBytes) : maxBytes_(maxBytes) {}

    std::optional<Translation> Find(std::string_view direction, std::string_view text);
    // Keeps the translation unless the entry alone is larger than the cache.
    void Store(std::string_view direction, std::string_view text, const Translation& translation);
    CacheStats Stats() const;

    // What one entry counts: its key, translation, upstream name and bookkeeping.
    static std::size_t EntryBytes(std::string_view direction, std::string_view text,
                                  const Translation& translation);

  private:
    struct Entry {
        std::string key;
        Translation translation;
        std::size_t bytes = 0;
    };
    static std::string Key(std::string_view direction, std::string_view text);

    const std::size_t maxBytes_;
    mutable std::mutex mutex_;
    std::list<Entry> order_;  // most recently used first
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;  // views of Entry::key
    std::size_t bytes_ = 0;
    std::uint64_t hits_ = 0;
    std::uint64_t misses_ = 0;
};

}  // namespace bridge
