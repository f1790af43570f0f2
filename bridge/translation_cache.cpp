#include "bridge/translation_cache.h"

namespace bridge {
namespace {

// List node, index slot and string headers, roughly.
constexpr std::size_t kEntryOverhead = 128;

}  // namespace

std::string TranslationCache::Key(std::string_view direction, std::string_view text) {
    std::string key(direction);
    key += '\0';  // no direction code holds one
    key += text;
    return key;
}

std::size_t TranslationCache::EntryBytes(std::string_view direction, std::string_view text,
                                         const Translation& translation) {
    return direction.size() + 1 + text.size() + translation.text.size() +
           translation.upstream.size() + kEntryOverhead;
}

std::optional<Translation> TranslationCache::Find(std::string_view direction,
                                                  std::string_view text) {
    if (maxBytes_ == 0) {
        return std::nullopt;
    }
    const std::string key = Key(direction, text);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = index_.find(key);
    if (found == index_.end()) {
        ++misses_;
        return std::nullopt;
    }
    ++hits_;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->translation;
}

void TranslationCache::Store(std::string_view direction, std::string_view text,
                             const Translation& translation) {
    const std::size_t bytes = EntryBytes(direction, text, translation);
    if (bytes > maxBytes_) {
        return;
    }
    std::string key = Key(direction, text);
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto found = index_.find(key); found != index_.end()) {
        bytes_ -= found->second->bytes;
        order_.erase(found->second);
        index_.erase(found);
    }
    while (bytes_ + bytes > maxBytes_) {
        const Entry& oldest = order_.back();
        bytes_ -= oldest.bytes;
        index_.erase(oldest.key);
        order_.pop_back();
    }
    order_.push_front(Entry{std::move(key), translation, bytes});
    index_.emplace(order_.front().key, order_.begin());
    bytes_ += bytes;
}

CacheStats TranslationCache::Stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {order_.size(), bytes_, maxBytes_, hits_, misses_};
}

}  // namespace bridge
