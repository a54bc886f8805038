// The names in one folder, each by its key (a nameEntry without its kind
// bit), so that an addition of a name already there, or a removal of one
// that is not, changes nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace glance {

class NameSet {
public:
    // A listing's entries, in ascending order.
    void assign(std::vector<std::uint64_t> sorted) {
        listed_ = std::move(sorted);
        changed_.clear();
        size_ = listed_.size();
    }
    std::size_t size() const { return size_; }

    // Adds a name by its entry; false when its key was there already.
    bool add(std::uint64_t entry) {
        if (find(entry >> 1)) return false;
        ++size_;
        mark({entry, true});
        return true;
    }
    // Removes a name by its key; whether it was a subfolder, or none when it was not there.
    std::optional<bool> remove(std::uint64_t entry) {
        const std::optional<std::uint64_t> there = find(entry >> 1);
        if (!there) return std::nullopt;
        --size_;
        mark({*there, false});
        return (*there & 1) != 0;
    }

private:
    struct Change {
        std::uint64_t entry;
        bool there;
    };
    // Changes are kept apart, by key, until there are this many: each costs
    // a move of at most that many, and a merge a pass over the listing.
    static constexpr std::size_t kMergeAt = 1024;

    std::vector<Change>::iterator changeOf(std::uint64_t key) {
        return std::lower_bound(changed_.begin(), changed_.end(), key,
                                [](const Change& c, std::uint64_t k) { return c.entry >> 1 < k; });
    }
    std::optional<std::uint64_t> find(std::uint64_t key) {
        if (const auto c = changeOf(key); c != changed_.end() && c->entry >> 1 == key)
            return c->there ? std::optional(c->entry) : std::nullopt;
        const auto listed = std::lower_bound(listed_.begin(), listed_.end(), key << 1);
        return listed != listed_.end() && *listed >> 1 == key ? std::optional(*listed) : std::nullopt;
    }
    void mark(Change change) {
        const auto c = changeOf(change.entry >> 1);
        c != changed_.end() && c->entry >> 1 == change.entry >> 1 ? void(*c = change)
                                                                  : void(changed_.insert(c, change));
        if (changed_.size() < kMergeAt) return;
        // One sorted listing again, no larger than its names.
        std::vector<std::uint64_t> merged;
        merged.reserve(size_);
        auto next = changed_.begin();
        for (const std::uint64_t entry : listed_) {
            bool changed = false;  // the change of the same key decides
            for (; next != changed_.end() && next->entry >> 1 <= entry >> 1; ++next) {
                changed = next->entry >> 1 == entry >> 1;
                if (next->there) merged.push_back(next->entry);
            }
            if (!changed) merged.push_back(entry);
        }
        for (; next != changed_.end(); ++next)
            if (next->there) merged.push_back(next->entry);
        listed_ = std::move(merged);
        changed_.clear();
    }

    std::vector<std::uint64_t> listed_;  // ascending
    std::vector<Change> changed_;        // by key
    std::size_t size_ = 0;
};

}  // namespace glance
