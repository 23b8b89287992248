// A small insertion-ordered string map. Species compositions and result
// records keep their key order ("the first key" matters to callers).
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"

namespace velmora {

template <class V>
class OrderedMap {
public:
    using value_type = std::pair<std::string, V>;

    V& operator[](const std::string& key) {
        for (auto& kv : items_)
            if (kv.first == key) return kv.second;
        items_.emplace_back(key, V{});
        return items_.back().second;
    }
    const V& at(const std::string& key) const {
        for (const auto& kv : items_)
            if (kv.first == key) return kv.second;
        throw MissingKey("'" + key + "'");
    }
    V& at(const std::string& key) {
        return const_cast<V&>(static_cast<const OrderedMap&>(*this).at(key));
    }
    bool contains(const std::string& key) const {
        for (const auto& kv : items_)
            if (kv.first == key) return true;
        return false;
    }
    void set(const std::string& key, V value) { (*this)[key] = std::move(value); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    void clear() { items_.clear(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    const value_type& front() const { return items_.front(); }

private:
    std::vector<value_type> items_;
};

}  // namespace velmora
